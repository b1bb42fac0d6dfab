#include "platform/windows/wide_text.h"

#include <windows.h>

#include "platform/text.h"

namespace z900::platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t holds UTF-16 units");

class WindowsErrorCategoryImpl final : public std::error_category {
 public:
  const char* name() const noexcept override { return "windows"; }

  std::string message(int value) const override {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(value), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) message = WideToUtf8(std::wstring_view(text, length));
    if (text != nullptr) ::LocalFree(text);
    // The system's texts end with a full stop and a line break.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
      message.pop_back();
    }
    if (message.empty()) message = "Windows error " + std::to_string(value);
    return message;
  }

  std::error_condition default_error_condition(int value) const noexcept override {
    switch (static_cast<DWORD>(value)) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_DRIVE:
      case ERROR_BAD_NETPATH:
      case ERROR_BAD_NET_NAME:
        return std::errc::no_such_file_or_directory;
      case ERROR_ACCESS_DENIED:
      case ERROR_WRITE_PROTECT:
      case ERROR_PRIVILEGE_NOT_HELD:
        return std::errc::permission_denied;
      case ERROR_FILE_EXISTS:
      case ERROR_ALREADY_EXISTS:
        return std::errc::file_exists;
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
        return std::errc::device_or_resource_busy;
      case ERROR_DISK_FULL:
      case ERROR_HANDLE_DISK_FULL:
        return std::errc::no_space_on_device;
      case ERROR_DIRECTORY:
        return std::errc::not_a_directory;
      case ERROR_DIR_NOT_EMPTY:
        return std::errc::directory_not_empty;
      case ERROR_FILENAME_EXCED_RANGE:
        return std::errc::filename_too_long;
      case ERROR_NOT_ENOUGH_MEMORY:
      case ERROR_OUTOFMEMORY:
        return std::errc::not_enough_memory;
      case ERROR_INVALID_NAME:
      case ERROR_INVALID_PARAMETER:
        return std::errc::invalid_argument;
      case ERROR_OPERATION_ABORTED:
        return std::errc::operation_canceled;
      case ERROR_TIMEOUT:
      case WAIT_TIMEOUT:
        return std::errc::timed_out;
      default:
        return {value, *this};
    }
  }
};

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return Utf16ToWide(Utf8ToUtf16(text)); }

std::string WideToUtf8(std::wstring_view text) { return Utf16ToUtf8(WideToUtf16(text)); }

std::wstring Utf16ToWide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string WideToUtf16(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

const std::error_category& WindowsErrorCategory() {
  static const WindowsErrorCategoryImpl category;
  return category;
}

std::error_code WindowsError(std::uint32_t code) {
  return {static_cast<int>(code), WindowsErrorCategory()};
}

std::error_code LastWindowsError() { return WindowsError(::GetLastError()); }

std::wstring ApiPath(const std::filesystem::path& path) {
  std::wstring text = path.native();
  // Long paths need the prefix, which also turns off the parsing of "." and ".." and of '/':
  // give it only absolute paths with backslashes.
  if (text.size() < MAX_PATH - 12 || text.starts_with(L"\\\\?\\")) return text;
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return text;
  text = absolute.lexically_normal().make_preferred().native();
  if (text.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + text.substr(2);
  return L"\\\\?\\" + text;
}

}  // namespace z900::platform
