#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "platform/program_paths.h"
#include "platform/utf8_path.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "support/windows/helper_process.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// An installation in a user's folder whose name is beyond the ANSI code page.
const fs::path kProgram = L"C:\\Users\\Zo\u00eb\\AppData\\Local\\Programs\\Z900";

// Without Z900_HOME the files are where the installation keeps them: beside the executable,
// and the key store in the machine's registry.
TEST(WindowsProgramPathsTest, TheInstallationsOwnLayout) {
  PathEnvironment env;
  env.executable_folder = kProgram;
  env.install_data_folder = kProgram;
  env.local_app_data = L"C:\\Users\\Zo\u00eb\\AppData\\Local";
  const ProgramPaths paths = ResolveProgramPaths(env);
  EXPECT_EQ(paths.module_directory, kProgram);
  EXPECT_EQ(paths.profile_folder, kProgram / L"Profile");
  EXPECT_EQ(paths.update_folder, kProgram / L"update");
  EXPECT_TRUE(paths.registry_root.empty());
  EXPECT_TRUE(paths.machine_wide);
  EXPECT_EQ(paths.store_lock_file, kProgram / L"z900.lock");
  EXPECT_EQ(paths.sim_state_file,
            fs::path(L"C:\\Users\\Zo\u00eb\\AppData\\Local\\Z900\\sim-mouse.bin"));
  EXPECT_EQ(paths.helper_folders, std::vector<fs::path>{kProgram});

  env.z900_home = L"D:\\tests\\home";
  const ProgramPaths moved = ResolveProgramPaths(env);
  EXPECT_FALSE(moved.machine_wide);
  EXPECT_EQ(moved.registry_root, fs::path(L"D:\\tests\\home\\registry"));
  EXPECT_EQ(moved.profile_folder, fs::path(L"D:\\tests\\home\\Profile"));
}

TEST(WindowsProgramPathsTest, ThisProcessIsFoundByItsOwnName) {
  const PathEnvironment env = ReadPathEnvironment();
  wchar_t name[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, name, MAX_PATH), 0u);
  EXPECT_EQ(env.executable_folder, fs::path(name).parent_path());
  EXPECT_EQ(env.install_data_folder, env.executable_folder);
  EXPECT_TRUE(env.local_app_data.has_value());
}

// The environment and the command line are read in UTF-16, not in the ANSI code page.
TEST(WindowsProcessTextTest, EnvironmentAndArgumentsKeepEveryCharacter) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"Z900_TEST_VALUE", L"Zo\u00eb \u65e5\u672c"));
  EXPECT_EQ(EnvironmentValue("Z900_TEST_VALUE"), "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC");
  ::SetEnvironmentVariableW(L"Z900_TEST_VALUE", L"");
  EXPECT_EQ(EnvironmentValue("Z900_TEST_VALUE"), std::nullopt);

  test::TempFolder folder;
  const fs::path report = folder.path() / "args";
  test::NamedEvent done(test::UniqueName("args"));
  const std::vector<std::string> args = {"Zo\xC3\xAB", "two words", "", "quote\"d", "C:\\end\\"};
  const test::ProgramResult result = test::RunProgram(
      Z900_TEST_HELPER, args,
      {{"Z900_REPORT_FILE", PathToUtf8(report)}, {"Z900_REPORT_EVENT", done.name()}});
  ASSERT_EQ(result.exit_code, 0);
  ASSERT_TRUE(done.WaitSet());
  std::ifstream in(report, std::ios::binary);
  const std::string reported((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(reported, "Zo\xC3\xAB|two words||quote\"d|C:\\end\\|");
}

}  // namespace
}  // namespace z900::platform
