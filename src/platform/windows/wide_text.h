#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

// Text and errors where the program meets the Windows API: UTF-8 inside the program, UTF-16
// (wchar_t) at the API, and error codes that compare with std::errc.
namespace z900::platform {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf16ToWide(std::u16string_view text);
std::u16string WideToUtf16(std::wstring_view text);

// The error category of Windows error numbers (GetLastError): its messages are the system's
// own, as UTF-8, and the common errors compare equal to their std::errc counterparts
// (ERROR_FILE_NOT_FOUND to no_such_file_or_directory, ERROR_ACCESS_DENIED to
// permission_denied, …).
const std::error_category& WindowsErrorCategory();
std::error_code WindowsError(std::uint32_t code);
// The error of the calling thread's last failed Windows call.
std::error_code LastWindowsError();

// A path in the form the wide file functions take: absolute, with the \\?\ prefix once it is
// longer than MAX_PATH allows.
std::wstring ApiPath(const std::filesystem::path& path);

}  // namespace z900::platform
