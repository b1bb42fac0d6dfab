// What a user who is not root may not do with a file must not happen through the utility either.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "config/profiles.h"
#include "platform/file_io.h"
#include "platform/linux/directory_key_store.h"
#include "support/cli_fixture.h"
#include "support/config_fixture.h"

namespace z900 {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// Why these tests cannot run here, or nullopt: root may read and write every file.
std::optional<std::string> WhyNotHere() {
  if (::geteuid() != 0) return std::nullopt;
  const char* reason = std::getenv("Z900_UNPRIVILEGED");
  return std::string("root may read and write every file, and ") +
         (reason != nullptr ? reason : "the test was not started through run_unprivileged.sh");
}

struct Identity {
  ino_t inode = 0;
  mode_t mode = 0;
  off_t size = 0;
  bool operator==(const Identity&) const = default;
};
Identity IdentityOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return {info.st_ino, info.st_mode & 07777, info.st_size};
}

std::size_t EntryCount(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class PermissionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const auto why = WhyNotHere()) GTEST_SKIP() << *why;
  }
  test::TempFolder folder;
};

// The folder may be written, so a rename would replace the file; its own mode forbids it.
TEST_F(PermissionTest, AReadOnlyFileInAWritableFolderIsNotReplaced) {
  const fs::path file = folder.path() / "value";
  ASSERT_FALSE(platform::WriteFileAtomically(file, Bytes{1, 2}));
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const Identity before = IdentityOf(file);
  EXPECT_EQ(platform::WriteFileAtomically(file, Bytes{3}), std::errc::permission_denied);
  EXPECT_EQ(IdentityOf(file), before);

  platform::DirectoryKeyStore store(folder.path() / "registry");
  const std::u16string key = u"Software\\TALVO\\Z900";
  ASSERT_EQ(store.CreateKey(key), platform::KeyStoreStatus::kOk);
  ASSERT_EQ(store.WriteValue(key, u"ConfigInfo", platform::DwordValue(1)),
            platform::KeyStoreStatus::kOk);
  const fs::path value_file = store.ValueFile(key, u"ConfigInfo");
  ASSERT_EQ(::chmod(value_file.c_str(), 0444), 0);
  EXPECT_EQ(store.WriteValue(key, u"ConfigInfo", platform::DwordValue(2)),
            platform::KeyStoreStatus::kFailed);
  platform::KeyValue value;
  ASSERT_EQ(store.ReadValue(key, u"ConfigInfo", value), platform::KeyStoreStatus::kOk);
  EXPECT_EQ(value, platform::DwordValue(1));
  EXPECT_EQ(EntryCount(folder.path()), 2u);  // no temporary file left
}

class PermissionCliTest : public test::CliTest {
 protected:
  void SetUp() override {
    if (const auto why = WhyNotHere()) GTEST_SKIP() << *why;
    fs::copy_file(Z900_LANGUAGE_FILE, folder.path() / "language.xml");
  }
  fs::path ProfileFile(int number) const {
    return folder.path() / "Profile" / ("Profile" + std::to_string(number) + ".cfg");
  }
};

TEST_F(PermissionCliTest, ADamagedProfileThatMayNotBeWrittenIsNotReplaced) {
  ASSERT_EQ(Run({"profile", "select", "3"}).code, cli::kExitOk);
  std::ofstream(ProfileFile(3), std::ios::trunc) << std::string(50897, 'x');
  ASSERT_EQ(::chmod(ProfileFile(3).c_str(), 0444), 0);
  const Identity before = IdentityOf(ProfileFile(3));

  const Result result = Run({"profile", "list"});
  EXPECT_EQ(result.code, cli::kExitOk) << result.err;
  EXPECT_THAT(result.err, HasSubstr(ProfileFile(3).string() +
                                    " is not a profile file and was left as it is: it could not "
                                    "be kept and replaced (Permission denied)"));
  EXPECT_THAT(result.out,
              HasSubstr("The profile could not be saved because access to its file was denied."));
  EXPECT_THAT(result.out, HasSubstr("* 1  Profile 1"));
  EXPECT_EQ(IdentityOf(ProfileFile(3)), before);
  EXPECT_EQ(EntryCount(ProfileFile(3).parent_path()), 2u);  // no copy of it either
}

TEST_F(PermissionCliTest, AProfileThatMayNotBeReadIsReportedAndLeftAsItIs) {
  ASSERT_EQ(Run({"show"}).code, cli::kExitOk);
  ASSERT_EQ(::chmod(ProfileFile(1).c_str(), 0222), 0);
  const Identity before = IdentityOf(ProfileFile(1));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"show"},
                                               {"profile", "list"},
                                               {"set", "name", "Lost"},
                                               {"--simulate", "apply"}}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const Result result = Run(args);
    EXPECT_EQ(result.code, cli::kExitFailed);
    EXPECT_THAT(result.err, HasSubstr("cannot read the profile file " + ProfileFile(1).string() +
                                      ": Permission denied; it was left as it is"));
    EXPECT_EQ(IdentityOf(ProfileFile(1)), before);
  }
  EXPECT_EQ(EntryCount(ProfileFile(1).parent_path()), 1u);
}

// A command that fails changes nothing: with the key store read-only, the profile file stays.
TEST_F(PermissionCliTest, ASetThatCannotStoreTheTableLeavesTheProfileFile) {
  ASSERT_EQ(Run({"show"}).code, cli::kExitOk);
  const fs::path key = folder.path() / "registry/Software/TALVO/Z900";
  ASSERT_EQ(::chmod(key.c_str(), 0555), 0);
  const Bytes before = [&] {
    Bytes bytes;
    EXPECT_FALSE(platform::ReadWholeFile(ProfileFile(1), 1 << 20, bytes));
    return bytes;
  }();
  const Result result = Run({"set", "name", "Lost"});
  ::chmod(key.c_str(), 0755);
  EXPECT_EQ(result.code, cli::kExitFailed);
  EXPECT_THAT(result.err, HasSubstr("could not be stored in the key store"));
  Bytes after;
  EXPECT_FALSE(platform::ReadWholeFile(ProfileFile(1), 1 << 20, after));
  EXPECT_EQ(after, before);
}

// The profile folder itself may not be written.
class PermissionConfigTest : public test::ConfigTest {
 protected:
  void SetUp() override {
    if (const auto why = WhyNotHere()) GTEST_SKIP() << *why;
  }
};

TEST_F(PermissionConfigTest, SavingIntoAReadOnlyFolderIsDenied) {
  config::LoadProfiles(context, page, ports);
  ASSERT_EQ(config::CreateDefaultProfileFile(context, page, ports,
                                             platform::Utf8ToUtf16(ProfileText(1)), u"two"),
            1);
  ASSERT_TRUE(config::SelectProfile(context, page, ports, 1, false));
  const fs::path folder_path = ProfilePath(0).parent_path();
  ASSERT_EQ(::chmod(folder_path.c_str(), 0555), 0);
  ui.calls.clear();

  const config::SaveOutcome second = config::SaveProfileFile(context, page, ports);
  const bool selected = config::SelectProfile(context, page, ports, 0, false);
  const config::SaveOutcome first = config::SaveProfileFile(context, page, ports);
  const int made = config::CreateDefaultProfileFile(
      context, page, ports, platform::Utf8ToUtf16(ProfileText(2)), u"three");
  ::chmod(folder_path.c_str(), 0755);

  EXPECT_EQ(second, config::SaveOutcome::kDenied);
  EXPECT_TRUE(selected);
  EXPECT_EQ(first, config::SaveOutcome::kRegistryCopy);
  EXPECT_EQ(made, 0);
  EXPECT_THAT(ui.calls, ::testing::Contains("message: str_msg4"));
  EXPECT_EQ(EntryCount(folder_path), 2u);
}

}  // namespace
}  // namespace z900
