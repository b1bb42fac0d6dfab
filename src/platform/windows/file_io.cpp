#include "platform/file_io.h"

#include <aclapi.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <restartmanager.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cwctype>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/crc32.h"
#include "platform/windows/wide_text.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes a handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  void reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    if (valid()) ::CloseHandle(handle_);
    handle_ = handle;
  }
  // Closes now and reports whether the close itself succeeded.
  bool Close() { return ::CloseHandle(release()) != 0; }

 private:
  HANDLE handle_;
};

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towupper(x) == std::towupper(y); });
}

// Paths that name no file of a file system: the device namespace (\\.\pipe\…, \\.\COM1) and
// the DOS device names, which Windows finds in every folder ("NUL", "con.txt", "COM1.log").
// Opening them could wait for a pipe's server or talk to a device, so they are told by name.
std::error_code DeviceNameError(const fs::path& path) {
  const std::wstring& text = path.native();
  if (text.starts_with(L"\\\\.\\") || text.starts_with(L"//./")) {
    const std::wstring_view rest = std::wstring_view(text).substr(4);
    const bool pipe = rest.size() >= 5 && EqualsIgnoringCase(rest.substr(0, 5), L"pipe\\");
    return pipe ? FileError::kFifo : FileError::kDevice;
  }
  std::wstring stem = path.filename().native();
  stem = stem.substr(0, stem.find(L'.'));
  while (!stem.empty() && (stem.back() == L' ')) stem.pop_back();
  for (const wchar_t* name : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (EqualsIgnoringCase(stem, name)) return FileError::kDevice;
  }
  if (stem.size() == 4 &&
      (EqualsIgnoringCase(stem.substr(0, 3), L"COM") ||
       EqualsIgnoringCase(stem.substr(0, 3), L"LPT")) &&
      stem[3] >= L'1' && stem[3] <= L'9') {
    return FileError::kDevice;
  }
  return {};
}

// Null for a regular file (or a missing one), else the refusal that names what it is;
// `attributes` receives the file's attributes, INVALID_FILE_ATTRIBUTES when it is missing.
std::error_code KindError(const fs::path& path, DWORD& attributes) {
  attributes = INVALID_FILE_ATTRIBUTES;
  if (std::error_code device = DeviceNameError(path)) return device;
  attributes = ::GetFileAttributesW(ApiPath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return FileError::kFolder;
  }
  return {};
}

// What an open handle is: only files on a disk are regular files.
std::error_code HandleKindError(HANDLE file) {
  switch (::GetFileType(file)) {
    case FILE_TYPE_DISK:
      return {};
    case FILE_TYPE_PIPE:
      return FileError::kFifo;
    default:
      return FileError::kDevice;
  }
}

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

fs::path TemporaryPath(const fs::path& target) {
  static thread_local std::minstd_rand generator(std::random_device{}());
  return target.parent_path() /
         Utf8ToWide(TemporaryFileName(WideToUtf8(target.filename().native()),
                                      ::GetCurrentProcessId(), generator()));
}

// Whether a process of this id has ended (or never was); a process we may not look at runs.
bool ProcessEnded(DWORD id) {
  Handle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
  if (!process.valid()) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

// Removes the temporary files of ours that writers killed before their rename left in `folder`:
// only files with our prefix, and only those whose process has ended (a running one may be about
// to rename its file). A file we may not delete (another user's) stays.
void RemoveStaleTemporaries(const fs::path& folder) {
  std::error_code error;
  for (fs::directory_iterator it(folder.empty() ? fs::path(L".") : folder, error), end;
       !error && it != end; it.increment(error)) {
    const std::optional<unsigned long> owner =
        TemporaryFileWriter(WideToUtf8(it->path().filename().native()));
    if (!owner || *owner == ::GetCurrentProcessId() || !ProcessEnded(*owner)) continue;
    std::error_code ignored;
    if (it->is_regular_file(ignored)) ::DeleteFileW(ApiPath(it->path()).c_str());
  }
}

// Opens a regular file for reading; never opens a pipe or a device.
std::error_code OpenRegularFile(const fs::path& path, Handle& file) {
  DWORD attributes = 0;
  if (std::error_code kind = KindError(path, attributes)) return kind;
  Handle opened(::CreateFileW(ApiPath(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!opened.valid()) return LastWindowsError();
  if (std::error_code kind = HandleKindError(opened.get())) return kind;
  file.reset(opened.release());
  return {};
}

// Reads up to max_size bytes; with `refuse_longer` a file with more is file_too_large.
std::error_code ReadRegularFile(const fs::path& path, std::size_t max_size, bool refuse_longer,
                                std::vector<std::uint8_t>& bytes) {
  Handle file;
  if (std::error_code error = OpenRegularFile(path, file)) return error;
  std::vector<std::uint8_t> content;
  // The size is only a hint (the file may change meanwhile); it saves the copies of growing.
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
    content.reserve(std::min(static_cast<std::size_t>(size.QuadPart), max_size));
  }
  std::uint8_t chunk[65536];
  for (;;) {
    const std::size_t room = max_size - content.size();
    // One byte beyond the limit tells a file that is too long.
    const std::size_t wanted = std::min(sizeof chunk, refuse_longer ? room + 1 : room);
    if (wanted == 0) break;
    DWORD got = 0;
    if (!::ReadFile(file.get(), chunk, static_cast<DWORD>(wanted), &got, nullptr)) {
      return LastWindowsError();
    }
    if (got == 0) break;
    if (got > room) return std::make_error_code(std::errc::file_too_large);
    content.insert(content.end(), chunk, chunk + got);
  }
  bytes = std::move(content);
  return {};
}

// Gives the new file the access rules of the one it replaces, as a rename keeps a file's mode
// elsewhere: its own entries and whether it inherits from the folder. Where the old rules
// cannot be read (a file system without them), the new file keeps the folder's.
void CopyAccessRules(const fs::path& from, HANDLE to) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(ApiPath(from).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (::GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    const SECURITY_INFORMATION protection = (control & SE_DACL_PROTECTED)
                                                ? PROTECTED_DACL_SECURITY_INFORMATION
                                                : UNPROTECTED_DACL_SECURITY_INFORMATION;
    ::SetSecurityInfo(to, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | protection, nullptr, nullptr,
                      dacl, nullptr);
  }
  ::LocalFree(descriptor);
}

// The attributes a replaced file keeps; read-only never gets this far.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// A plain copy for file systems without hard links: a new file `to`, flushed.
std::error_code CopyRegularFile(const fs::path& from, const fs::path& to) {
  if (!::CopyFileW(ApiPath(from).c_str(), ApiPath(to).c_str(), TRUE)) return LastWindowsError();
  Handle copy(::CreateFileW(ApiPath(to).c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (copy.valid()) ::FlushFileBuffers(copy.get());
  return {};
}

class WindowsFileLock final : public FileLock {
 public:
  explicit WindowsFileLock(HANDLE file) : file_(file) {}
  ~WindowsFileLock() override {
    OVERLAPPED whole{};
    ::UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &whole);
    ::CloseHandle(file_);
  }
  WindowsFileLock(const WindowsFileLock&) = delete;
  WindowsFileLock& operator=(const WindowsFileLock&) = delete;

 private:
  HANDLE file_;
};

}  // namespace

fs::path ResolveLinks(const fs::path& path, std::error_code& error) {
  error.clear();
  DWORD attributes = ::GetFileAttributesW(ApiPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return path;
  }
  // A link (or junction) to its end, as the system follows it when the file is opened.
  Handle file(::CreateFileW(ApiPath(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) return path;  // a link that leads nowhere yet is written as it is
  std::wstring final_path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(file.get(), final_path.data(),
                                                     static_cast<DWORD>(final_path.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      error = LastWindowsError();
      return {};
    }
    if (length < final_path.size()) {
      final_path.resize(length);
      break;
    }
    final_path.resize(length);
  }
  return fs::path(final_path);
}

std::error_code CheckReplaceable(const fs::path& path) {
  DWORD attributes = 0;
  if (std::error_code kind = KindError(path, attributes)) return kind;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const std::error_code error = LastWindowsError();
    return error == std::errc::no_such_file_or_directory ? std::error_code() : error;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    return std::make_error_code(std::errc::permission_denied);
  }
  // The file's own access rules, as an open for writing would judge them; nothing is written.
  Handle file(::CreateFileW(ApiPath(path).c_str(), FILE_WRITE_DATA, kShareAll, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const std::error_code error = LastWindowsError();
    return error == std::errc::no_such_file_or_directory ? std::error_code() : error;
  }
  return HandleKindError(file.get());
}

// FileAccess on Windows: a new file takes the access rules of its folder, as every file Windows
// makes does (a folder of the user's profile is the user's and the system's alone; the
// installation's folder is its administrators'); a replaced file keeps the rules it had, in
// either mode. Narrowing a file to this user alone would lock the machine's other
// administrators out of the installation's profiles.
std::error_code WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                                    const AtomicWriteProbe& probe, FileAccess /*access*/,
                                    FolderCleanUp clean_up) {
  std::error_code error;
  const fs::path target = ResolveLinks(path, error);
  if (error) return error;
  // A rename needs only the folder's permission; the file's own must hold as well.
  if ((error = CheckReplaceable(target))) return error;
  if (clean_up == FolderCleanUp::kOurLeftovers) RemoveStaleTemporaries(target.parent_path());

  const DWORD existing = ::GetFileAttributesW(ApiPath(target).c_str());
  const fs::path temporary = TemporaryPath(target);
  Handle file(::CreateFileW(ApiPath(temporary).c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return LastWindowsError();
  auto discard = [&](std::error_code failure) {
    file.reset();
    ::DeleteFileW(ApiPath(temporary).c_str());
    return failure;
  };
  if (existing != INVALID_FILE_ATTRIBUTES) CopyAccessRules(target, file.get());
  if (!WriteAll(file.get(), bytes) || !::FlushFileBuffers(file.get())) {
    return discard(LastWindowsError());
  }
  if (!file.Close()) return discard(LastWindowsError());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & kKeptAttributes)) {
    ::SetFileAttributesW(ApiPath(temporary).c_str(), existing & kKeptAttributes);
  }
  if (probe && !probe()) return discard(std::make_error_code(std::errc::interrupted));
  if (!::MoveFileExW(ApiPath(temporary).c_str(), ApiPath(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return discard(LastWindowsError());
  }
  return {};
}

std::error_code ReadWholeFile(const fs::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes) {
  return ReadRegularFile(path, max_size, true, bytes);
}

std::error_code ReadFileStart(const fs::path& path, std::size_t max_size,
                              std::vector<std::uint8_t>& bytes) {
  return ReadRegularFile(path, max_size, false, bytes);
}

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  ::localtime_s(&local, &when);
  return local;
}

std::error_code KeepDamagedCopy(const fs::path& path, fs::path& copy) {
  std::error_code error;
  const fs::path target = ResolveLinks(path, error);
  if (error) return error;
  DWORD attributes = 0;
  if (std::error_code kind = KindError(target, attributes)) return kind;
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastWindowsError();
  const std::wstring base = target.filename().native() + Utf8ToWide(DamagedCopySuffix());
  for (int number = 1; number < 100; ++number) {
    const fs::path candidate =
        target.parent_path() / (number == 1 ? base : base + L"-" + std::to_wstring(number));
    if (!::CreateHardLinkW(ApiPath(candidate).c_str(), ApiPath(target).c_str(), nullptr)) {
      if (LastWindowsError() == std::errc::file_exists) continue;
      if (error = CopyRegularFile(target, candidate); error == std::errc::file_exists) continue;
      if (error) return error;
    }
    copy = candidate;
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}

std::unique_ptr<FileLock> LockFile(const fs::path& path, LockMode mode, bool blocking,
                                   std::error_code& error) {
  DWORD attributes = 0;
  if ((error = KindError(path, attributes))) return nullptr;
  Handle file(::CreateFileW(ApiPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  // A lock file that may not be written still takes a lock.
  if (!file.valid() && ::GetLastError() == ERROR_ACCESS_DENIED) {
    file.reset(::CreateFileW(ApiPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() && ::GetLastError() == ERROR_FILE_NOT_FOUND) {
      ::SetLastError(ERROR_ACCESS_DENIED);
    }
  }
  if (!file.valid()) {
    error = LastWindowsError();
    return nullptr;
  }
  if ((error = HandleKindError(file.get()))) return nullptr;
  const DWORD flags = (mode == LockMode::kExclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) |
                      (blocking ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  OVERLAPPED whole{};
  if (!::LockFileEx(file.get(), flags, 0, MAXDWORD, MAXDWORD, &whole)) {
    const DWORD code = ::GetLastError();
    error = code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING
                ? std::make_error_code(std::errc::resource_unavailable_try_again)
                : WindowsError(code);
    return nullptr;
  }
  error.clear();
  return std::make_unique<WindowsFileLock>(file.release());
}

std::string DescribeLockHolders(const fs::path& path) {
  // The Restart Manager knows which processes have the file open; every holder of the lock has.
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (::RmStartSession(&session, 0, key) != ERROR_SUCCESS) return {};
  std::string described;
  std::wstring file = ApiPath(path);
  LPCWSTR files[] = {file.c_str()};
  UINT count = 0;
  std::vector<RM_PROCESS_INFO> processes(8);
  if (::RmRegisterResources(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS) {
    for (int attempt = 0; attempt < 4; ++attempt) {
      UINT needed = 0;
      count = static_cast<UINT>(processes.size());
      DWORD reasons = 0;
      const DWORD status = ::RmGetList(session, &needed, &count, processes.data(), &reasons);
      if (status == ERROR_MORE_DATA) {
        processes.resize(needed + 4);
        continue;
      }
      if (status != ERROR_SUCCESS) count = 0;
      break;
    }
  }
  ::RmEndSession(session);
  for (UINT i = 0; i < count && i < processes.size(); ++i) {
    const RM_PROCESS_INFO& process = processes[i];
    const DWORD id = process.Process.dwProcessId;
    std::string user = "an unknown user";
    Handle opened(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    HANDLE token = nullptr;
    if (opened.valid() && ::OpenProcessToken(opened.get(), TOKEN_QUERY, &token)) {
      Handle token_handle(token);
      std::vector<std::uint8_t> buffer(256);
      DWORD size = 0;
      if (::GetTokenInformation(token, TokenUser, buffer.data(),
                                static_cast<DWORD>(buffer.size()), &size)) {
        WCHAR name[256];
        WCHAR domain[256];
        DWORD name_size = 256;
        DWORD domain_size = 256;
        SID_NAME_USE use{};
        if (::LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                                name, &name_size, domain, &domain_size, &use)) {
          user = "user " + WideToUtf8(name);
        }
      }
    }
    const std::string program = WideToUtf8(process.strAppName);
    if (!described.empty()) described += ", ";
    described += (program.empty() ? std::string("a program") : program) + " (process " +
                 std::to_string(id) + " of " + user + ")";
  }
  return described;
}

// Folders take the access rules of the folder they are made in, as WriteFileAtomically's files
// do: the user's profile keeps others out of what lies below it.
std::error_code CreatePrivateFolders(const fs::path& path) {
  if (path.empty()) return {};
  const DWORD attributes = ::GetFileAttributesW(ApiPath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY)
               ? std::error_code()
               : std::make_error_code(std::errc::not_a_directory);
  }
  const std::error_code missing = LastWindowsError();
  if (missing != std::errc::no_such_file_or_directory) return missing;
  const fs::path parent = path.parent_path();
  if (parent != path && !parent.empty()) {
    if (std::error_code error = CreatePrivateFolders(parent)) return error;
  }
  if (!::CreateDirectoryW(ApiPath(path).c_str(), nullptr) &&
      ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return LastWindowsError();
  }
  return {};
}

// Nothing to narrow: a folder's rules come from where it lies (CreatePrivateFolders).
void TightenFolder(const fs::path& /*path*/) {}

std::error_code EnsurePrivateFolder(const fs::path& path) {
  if (!::CreateDirectoryW(ApiPath(path).c_str(), nullptr) &&
      ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return LastWindowsError();
  }
  // A link could hand us someone else's folder; the folder's own rules come from the user's
  // profile folder it lies in.
  const DWORD attributes = ::GetFileAttributesW(ApiPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastWindowsError();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return std::make_error_code(std::errc::permission_denied);
  }
  return {};
}

}  // namespace z900::platform

namespace z900::platform {

// Windows' local sockets are named pipes, one namespace for the whole machine: the name is made
// the folder's own (and so the user's own), the same on every start.
LocalSocketPath::LocalSocketPath(const fs::path& folder, std::string_view name) {
  fs::path normal = fs::absolute(folder).lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  std::wstring key = normal.wstring();
  std::transform(key.begin(), key.end(), key.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  const std::string bytes = WideToUtf8(key);
  const std::uint32_t checksum = Crc32(std::span(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "-%08x", static_cast<unsigned>(checksum));
  path_ = std::string(name) + suffix;
}

LocalSocketPath::~LocalSocketPath() = default;

}  // namespace z900::platform
