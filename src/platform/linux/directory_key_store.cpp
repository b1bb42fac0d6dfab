#include "platform/linux/directory_key_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>

#include "platform/byte_order.h"
#include "platform/crc32.h"
#include "platform/text.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kFileMagic[4] = {'Z', '9', 'K', 'V'};
constexpr std::uint32_t kFileVersion = 1;
constexpr std::size_t kFileHeaderSize = 16;                 // magic, version, type, length
constexpr std::size_t kFileOverhead = kFileHeaderSize + 4;  // + CRC-32

fs::path Utf8Name(std::u16string_view name) { return fs::path(Utf16ToUtf8(name)); }

// fsync of a folder, so that a new or removed entry in it survives a crash.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool IsFolder(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A subkey name read from the disk: valid UTF-8 that makes one allowed key name.
std::optional<std::u16string> SubkeyName(const fs::path& file_name) {
  const std::string utf8 = file_name.string();
  std::u16string name = Utf8ToUtf16(utf8);
  if (Utf16ToUtf8(name) != utf8) return std::nullopt;
  const auto components = SplitKeyPath(name);
  if (!components || components->size() != 1 || (*components)[0] != name) return std::nullopt;
  return name;
}

// The status of a value whose file could not be read or kept.
KeyStoreStatus StatusOf(std::error_code error) {
  if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
    return KeyStoreStatus::kNotFound;
  }
  if (error == std::errc::file_too_large) return KeyStoreStatus::kUnreadable;
  if (IsNotRegularFileError(error)) return KeyStoreStatus::kNotAFile;
  return KeyStoreStatus::kFailed;
}

std::string HiddenSuffix() {
  static thread_local std::minstd_rand generator(std::random_device{}());
  return std::to_string(::getpid()) + "-" + std::to_string(generator());
}

}  // namespace

std::vector<std::uint8_t> EncodeValueFile(const KeyValue& value) {
  std::vector<std::uint8_t> bytes(kFileHeaderSize + value.data.size() + 4);
  std::copy(std::begin(kFileMagic), std::end(kFileMagic), bytes.begin());
  StoreLe32(bytes, 4, kFileVersion);
  StoreLe32(bytes, 8, static_cast<std::uint32_t>(value.type));
  StoreLe32(bytes, 12, static_cast<std::uint32_t>(value.data.size()));
  std::copy(value.data.begin(), value.data.end(), bytes.begin() + kFileHeaderSize);
  const std::size_t crc_at = bytes.size() - 4;
  StoreLe32(bytes, crc_at, Crc32(std::span(bytes).first(crc_at)));
  return bytes;
}

std::optional<KeyValue> DecodeValueFile(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kFileOverhead ||
      !std::equal(std::begin(kFileMagic), std::end(kFileMagic), bytes.begin())) {
    return std::nullopt;
  }
  if (LoadLe32(bytes, 4) != kFileVersion) return std::nullopt;
  const std::uint32_t length = LoadLe32(bytes, 12);
  if (length != bytes.size() - kFileOverhead) return std::nullopt;
  const std::size_t crc_at = bytes.size() - 4;
  if (Crc32(bytes.first(crc_at)) != LoadLe32(bytes, crc_at)) return std::nullopt;
  KeyValue value{
      static_cast<ValueType>(LoadLe32(bytes, 8)),
      {bytes.begin() + kFileHeaderSize, bytes.begin() + static_cast<std::ptrdiff_t>(crc_at)}};
  if (!IsWritableValue(value)) return std::nullopt;  // unknown type or impossible size
  return value;
}

DirectoryKeyStore::DirectoryKeyStore(fs::path root, AtomicWriteProbe probe)
    : root_(std::move(root)), probe_(std::move(probe)) {}

std::optional<fs::path> DirectoryKeyStore::KeyFolder(std::u16string_view path) const {
  const auto components = SplitKeyPath(path);
  if (!components) return std::nullopt;
  fs::path folder = root_;
  for (const auto& component : *components) folder /= Utf8Name(component);
  return folder;
}

fs::path DirectoryKeyStore::ValueFile(std::u16string_view path, std::u16string_view name) const {
  const auto folder = KeyFolder(path);
  if (!folder || !IsValidValueName(name)) return {};
  return *folder / ("@" + Utf16ToUtf8(name));
}

KeyStoreStatus DirectoryKeyStore::OpenKey(std::u16string_view path) {
  const auto folder = KeyFolder(path);
  if (!folder) return KeyStoreStatus::kBadName;
  return IsFolder(*folder) ? KeyStoreStatus::kOk : KeyStoreStatus::kNotFound;
}

KeyStoreStatus DirectoryKeyStore::CreateKey(std::u16string_view path) {
  const auto components = SplitKeyPath(path);
  if (!components) return KeyStoreStatus::kBadName;
  CreatePrivateFolders(root_);
  if (!IsFolder(root_)) return KeyStoreStatus::kFailed;
  // The values are the user's own (macros are recorded keystrokes): every key is a folder of
  // this user alone, and one made before our folders were private is narrowed here.
  TightenFolder(root_);
  fs::path folder = root_;
  for (const auto& component : *components) {
    const fs::path parent = folder;
    folder /= Utf8Name(component);
    if (::mkdir(folder.c_str(), 0700) == 0) {
      SyncFolder(parent);
    } else if (errno != EEXIST || !IsFolder(folder)) {
      return KeyStoreStatus::kFailed;
    } else {
      TightenFolder(folder);
    }
  }
  return KeyStoreStatus::kOk;
}

KeyStoreStatus DirectoryKeyStore::EnumerateSubkeys(std::u16string_view path,
                                                   std::vector<std::u16string>& names) {
  const auto folder = KeyFolder(path);
  if (!folder) return KeyStoreStatus::kBadName;
  if (!IsFolder(*folder)) return KeyStoreStatus::kNotFound;
  std::error_code error;
  std::vector<std::u16string> found;
  for (fs::directory_iterator it(*folder, error), end; !error && it != end; it.increment(error)) {
    if (!IsFolder(it->path())) continue;  // value files, and links that could lead elsewhere
    if (auto name = SubkeyName(it->path().filename())) found.push_back(std::move(*name));
  }
  if (error) return KeyStoreStatus::kFailed;
  std::sort(found.begin(), found.end());
  names = std::move(found);
  return KeyStoreStatus::kOk;
}

KeyStoreStatus DirectoryKeyStore::ReadValue(std::u16string_view path, std::u16string_view name,
                                            KeyValue& value) {
  const fs::path file = ValueFile(path, name);
  if (file.empty()) return KeyStoreStatus::kBadName;
  std::vector<std::uint8_t> bytes;
  if (const std::error_code error = ReadWholeFile(file, kMaxValueSize + kFileOverhead, bytes)) {
    return StatusOf(error);
  }
  std::optional<KeyValue> decoded = DecodeValueFile(bytes);
  if (!decoded) return KeyStoreStatus::kUnreadable;
  value = std::move(*decoded);
  return KeyStoreStatus::kOk;
}

KeyStoreStatus DirectoryKeyStore::WriteValue(std::u16string_view path, std::u16string_view name,
                                             const KeyValue& value) {
  const fs::path file = ValueFile(path, name);
  if (file.empty()) return KeyStoreStatus::kBadName;
  if (!IsWritableValue(value)) return KeyStoreStatus::kBadValue;
  if (!IsFolder(file.parent_path())) return KeyStoreStatus::kNotFound;
  TightenFolder(file.parent_path());
  if (const std::error_code error = WriteFileAtomically(file, EncodeValueFile(value), probe_,
                                                        FileAccess::kPrivate,
                                                        FolderCleanUp::kOurLeftovers)) {
    return IsNotRegularFileError(error) ? KeyStoreStatus::kNotAFile : KeyStoreStatus::kFailed;
  }
  return KeyStoreStatus::kOk;
}

KeyStoreStatus DirectoryKeyStore::DeleteValue(std::u16string_view path, std::u16string_view name) {
  const fs::path file = ValueFile(path, name);
  if (file.empty()) return KeyStoreStatus::kBadName;
  if (::unlink(file.c_str()) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? KeyStoreStatus::kNotFound
                                               : KeyStoreStatus::kFailed;
  }
  SyncFolder(file.parent_path());
  return KeyStoreStatus::kOk;
}

KeyStoreStatus DirectoryKeyStore::KeepDamagedValue(std::u16string_view path,
                                                   std::u16string_view name,
                                                   std::u16string& kept_name) {
  const fs::path file = ValueFile(path, name);
  if (file.empty()) return KeyStoreStatus::kBadName;
  fs::path copy;
  if (const std::error_code error = KeepDamagedCopy(file, copy)) return StatusOf(error);
  // "@NAME.damaged-…": the value name is the file name without its "@".
  kept_name = Utf8ToUtf16(copy.filename().string().substr(1));
  return KeyStoreStatus::kOk;
}

KeyStoreStatus DirectoryKeyStore::DeleteKey(std::u16string_view path) {
  const auto folder = KeyFolder(path);
  if (!folder || *folder == root_) return KeyStoreStatus::kBadName;
  std::vector<std::u16string> subkeys;
  if (const KeyStoreStatus status = EnumerateSubkeys(path, subkeys);
      status != KeyStoreStatus::kOk) {
    return status;
  }
  if (!subkeys.empty()) return KeyStoreStatus::kHasSubkeys;
  // Out of sight in one step, then removed: a crash in between leaves a hidden folder that no
  // enumeration lists, never a key with half of its values.
  const fs::path parent = folder->parent_path();
  const fs::path hidden = parent / (".deleted-" + HiddenSuffix());
  if (::rename(folder->c_str(), hidden.c_str()) != 0) return KeyStoreStatus::kFailed;
  SyncFolder(parent);
  std::error_code error;
  fs::remove_all(hidden, error);
  return KeyStoreStatus::kOk;
}

std::unique_ptr<KeyStore> CreateSystemKeyStore(const fs::path& root) {
  return std::make_unique<DirectoryKeyStore>(root);
}

std::string DescribeKeyStoreLocation(const fs::path& root) { return root.string(); }

fs::path KeyStoreFolder(const fs::path& root, std::u16string_view key) {
  return DirectoryKeyStore(root).ValueFile(key, u"").parent_path();
}

}  // namespace z900::platform
