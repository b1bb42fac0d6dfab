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

// One instance per user: in the runtime folder, or in the user's own cache folder when there is
// none; never in the shared temporary folder, where another user could make the folder first.
TEST(XdgProgramPathsTest, InstanceFolderOfTheUser) {
  struct Case {
    std::optional<fs::path> runtime;
    std::optional<fs::path> cache;
    fs::path folder;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, "/home/ann/.cache/z900"},
      {"relative/ignored", "also/relative", "/home/ann/.cache/z900"},
      {std::nullopt, "/var/cache/ann", "/var/cache/ann/z900"},
      {"/run/user/1000", "/var/cache/ann", "/run/user/1000/z900"},
  };
  for (const Case& c : cases) {
    PathEnvironment env;
    env.home = "/home/ann";
    env.xdg_runtime_dir = c.runtime;
    env.xdg_cache_home = c.cache;
    EXPECT_EQ(ResolveProgramPaths(env).instance_folder, c.folder);
  }
}

}  // namespace
}  // namespace z900::platform
