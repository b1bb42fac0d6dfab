#include "platform/code_pages.h"

#include <windows.h>

#include <climits>

namespace z900::platform {

SystemCodePage FindSystemCodePage(int code_page) {
  if (code_page <= 0 || !::IsValidCodePage(static_cast<UINT>(code_page))) return {};
  return {SystemCodePage::Kind::kExact, "MultiByteToWideChar"};
}

std::u16string SystemCodePageToUtf16(int code_page, std::span<const std::uint8_t> data) {
  if (data.empty() || data.size() > INT_MAX) return {};
  const auto* bytes = reinterpret_cast<const char*>(data.data());
  const int size = static_cast<int>(data.size());
  // Flags 0: bytes that do not convert follow the code page's own replacement rule.
  const int units = ::MultiByteToWideChar(static_cast<UINT>(code_page), 0, bytes, size, nullptr, 0);
  if (units <= 0) return {};
  std::wstring text(static_cast<std::size_t>(units), L'\0');
  ::MultiByteToWideChar(static_cast<UINT>(code_page), 0, bytes, size, text.data(), units);
  return std::u16string(text.begin(), text.end());
}

int SystemAnsiCodePage() { return static_cast<int>(::GetACP()); }

}  // namespace z900::platform
