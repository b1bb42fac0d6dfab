#include "platform/program_paths.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_folder.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

TEST(ResolveProgramPathsTest, OneFolderWithZ900Home) {
  PathEnvironment env;
  env.z900_home = "/data/z900";
  env.xdg_data_home = "/ignored";
  env.install_data_folder = "/usr/share/z900";
  const ProgramPaths paths = ResolveProgramPaths(env);
  EXPECT_EQ(paths.module_directory, fs::path("/usr/share/z900"));
  EXPECT_EQ(paths.profile_folder, fs::path("/data/z900/Profile"));
  EXPECT_EQ(paths.update_folder, fs::path("/data/z900/update"));
  EXPECT_EQ(paths.registry_root, fs::path("/data/z900/registry"));
  EXPECT_EQ(paths.sim_state_file, fs::path("/data/z900/sim-mouse.bin"));
  EXPECT_EQ(paths.instance_folder, fs::path("/data/z900"));
  EXPECT_EQ(paths.store_lock_file, fs::path("/data/z900/z900.lock"));
}

// Z900_HOME holds the user's files; the program's own come from the program folder unless the
// user put a language file of their own there.
TEST(ResolveProgramPathsTest, Z900HomeKeepsTheProgramFolderUnlessItHoldsALanguageFile) {
  test::TempFolder program;
  test::TempFolder home;
  std::ofstream(program.path() / "language.xml") << "<x/>";
  PathEnvironment env;
  env.z900_home = home.path();
  env.executable_folder = program.path();
  env.install_data_folder = "/usr/share/z900";
  env.install_libexec_folder = "/usr/libexec/z900";
  EXPECT_EQ(ResolveProgramPaths(env).module_directory, program.path());
  std::ofstream(home.path() / "language.xml") << "<x/>";
  const ProgramPaths paths = ResolveProgramPaths(env);
  EXPECT_EQ(paths.module_directory, home.path());
  // Helper programs never come from the user's folder.
  EXPECT_EQ(paths.helper_folders, (std::vector<fs::path>{program.path(), "/usr/libexec/z900"}));
}

TEST(ResolveProgramPathsTest, ExecutableFolderWithLanguageFileIsTheProgramFolder) {
  test::TempFolder folder;
  std::ofstream(folder.path() / "language.xml") << "<x/>";
  PathEnvironment env;
  env.home = "/home/ann";
  env.executable_folder = folder.path();
  env.install_data_folder = "/usr/share/z900";
  EXPECT_EQ(ResolveProgramPaths(env).module_directory, folder.path());
}

}  // namespace
}  // namespace z900::platform
