#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "platform/key_store.h"
#include "platform/keyboard_layout.h"

// What the tests need of the system beyond the platform set: things that exist on one system
// only, and what a store leaves outside its folder.
namespace z900::test {

// The system's own text for a file that does not exist ("No such file or directory" on Linux).
inline std::string MissingFileMessage() {
  std::vector<std::uint8_t> bytes;
  return platform::ReadWholeFile(std::filesystem::temp_directory_path() / "z900-no-such-file",
                                 1, bytes)
      .message();
}

// Whether this Windows program runs under Wine, which lacks what only real Windows has (HID
// devices, among others); false on Linux.
bool RunningUnderWine();

// How DescribeLockHolders names this process, run as `program`: "config_tests (process 12 of
// user ann)"; nullopt under Wine, whose Restart Manager finds no process.
std::optional<std::string> ThisProcessAsLockHolder(std::string_view program);

// Makes a FIFO at `path`; false where the system has none (Windows).
bool MakeFifo(const std::filesystem::path& path);

// Ends this process at once, as a crash would (SIGKILL on Linux).
[[noreturn]] void KillThisProcess();
// The death test's predicate for a process that KillThisProcess ended.
std::function<bool(int)> KilledThisWay();

// The system's key store of a Z900_HOME folder (platform::CreateSystemKeyStore(root)), with
// every write stopped just before it would replace the old value, as a crash would stop it;
// nullptr where a value is replaced in one step that cannot be stopped (the registry).
std::unique_ptr<platform::KeyStore> StoreThatStopsBeforeReplacing(
    const std::filesystem::path& root);

// Makes a value of the system's key store of a Z900_HOME folder one that the store no longer
// trusts (it reads as kUnreadable): on Linux its file's bytes no longer match their checksum, in
// the registry it takes a type the utility never writes.
void DamageStoredValue(const std::filesystem::path& root, std::u16string_view key,
                       std::u16string_view name);

// The system's own US keyboard layout (xkb's "us" on Linux, the layout 00000409 on Windows).
std::unique_ptr<platform::KeyboardLayout> UsKeyboardLayout();

// Removes what the key store of a Z900_HOME folder left outside that folder: on Windows its key
// of the current user; on Linux the store is inside the folder, and nothing is left.
void RemoveSystemKeyStore(const std::filesystem::path& home);

}  // namespace z900::test
