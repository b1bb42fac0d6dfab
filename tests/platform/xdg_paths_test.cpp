#include <gtest/gtest.h>

#include "platform/program_paths.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

TEST(XdgProgramPathsTest, XdgFoldersWithHomeFallbacks) {
  PathEnvironment env;
  env.home = "/home/ann";
  env.install_data_folder = "/usr/share/z900";
  env.executable_folder = "/usr/bin";
  env.xdg_config_home = "/cfg";
  env.xdg_state_home = "relative/ignored";
  const ProgramPaths paths = ResolveProgramPaths(env);
  EXPECT_EQ(paths.module_directory, fs::path("/usr/share/z900"));
  EXPECT_EQ(paths.profile_folder, fs::path("/home/ann/.local/share/z900/Profile"));
  EXPECT_EQ(paths.update_folder, fs::path("/home/ann/.local/share/z900/update"));
  EXPECT_EQ(paths.registry_root, fs::path("/cfg/z900/registry"));
  EXPECT_EQ(paths.sim_state_file, fs::path("/home/ann/.local/state/z900/sim-mouse.bin"));
  EXPECT_EQ(paths.store_lock_file, fs::path("/home/ann/.local/share/z900/z900.lock"));
}

// One instance per user: in the runtime folder, or in a folder named after the user in the
// shared temporary folder when there is none.
TEST(XdgProgramPathsTest, InstanceFolderOfTheUser) {
  PathEnvironment env;
  env.home = "/home/ann";
  env.temp_folder = "/tmp";
  env.user_id = 1000;
  EXPECT_EQ(ResolveProgramPaths(env).instance_folder, fs::path("/tmp/z900-1000"));
  env.xdg_runtime_dir = "relative/ignored";
  EXPECT_EQ(ResolveProgramPaths(env).instance_folder, fs::path("/tmp/z900-1000"));
  env.xdg_runtime_dir = "/run/user/1000";
  EXPECT_EQ(ResolveProgramPaths(env).instance_folder, fs::path("/run/user/1000/z900"));
}

}  // namespace
}  // namespace z900::platform
