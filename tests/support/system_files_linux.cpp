#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <csignal>

#include "platform/file_io.h"
#include "platform/linux/directory_key_store.h"
#include "platform/linux/xkb_keyboard_layout.h"
#include "support/system_files.h"

namespace z900::test {

bool RunningUnderWine() { return false; }

std::optional<std::string> ThisProcessAsLockHolder(std::string_view program) {
  return std::string(program) + " (process " + std::to_string(::getpid()) + " of user " +
         ::getpwuid(::geteuid())->pw_name + ")";
}

bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

void KillThisProcess() {
  std::raise(SIGKILL);
  std::abort();
}

std::function<bool(int)> KilledThisWay() { return ::testing::KilledBySignal(SIGKILL); }

std::unique_ptr<platform::KeyStore> StoreThatStopsBeforeReplacing(
    const std::filesystem::path& root) {
  return std::make_unique<platform::DirectoryKeyStore>(root, [] { return false; });
}

void DamageStoredValue(const std::filesystem::path& root, std::u16string_view key,
                       std::u16string_view name) {
  const std::filesystem::path file = platform::DirectoryKeyStore(root).ValueFile(key, name);
  std::vector<std::uint8_t> bytes;
  ASSERT_FALSE(platform::ReadWholeFile(file, 1 << 20, bytes));
  ASSERT_GT(bytes.size(), 30u);
  bytes[30] ^= 0xFF;
  ASSERT_FALSE(platform::WriteFileAtomically(file, bytes));
}

std::unique_ptr<platform::KeyboardLayout> UsKeyboardLayout() {
  std::string why;
  auto layout = platform::CreateXkbLayoutFromNames({"evdev", "pc105", "us", "", ""}, why);
  EXPECT_NE(layout, nullptr) << why;
  return layout;
}

void RemoveSystemKeyStore(const std::filesystem::path& /*home*/) {}

}  // namespace z900::test
