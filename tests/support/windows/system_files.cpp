#include <windows.h>

#include <gtest/gtest.h>

#include "platform/windows/registry_key_store.h"
#include "platform/windows/wide_text.h"
#include "platform/windows/windows_keyboard_layout.h"
#include "support/system_files.h"

namespace z900::test {

bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::optional<std::string> ThisProcessAsLockHolder(std::string_view program) {
  if (RunningUnderWine()) return std::nullopt;
  wchar_t user[256];
  DWORD size = 256;
  if (!::GetUserNameW(user, &size)) return std::nullopt;
  return std::string(program) + ".exe (process " + std::to_string(::GetCurrentProcessId()) +
         " of user " + platform::WideToUtf8(user) + ")";
}

bool MakeFifo(const std::filesystem::path& /*path*/) { return false; }

void KillThisProcess() {
  ::TerminateProcess(::GetCurrentProcess(), 137);
  std::abort();
}

std::function<bool(int)> KilledThisWay() { return ::testing::ExitedWithCode(137); }

std::unique_ptr<platform::KeyStore> StoreThatStopsBeforeReplacing(
    const std::filesystem::path& /*root*/) {
  return nullptr;
}

void DamageStoredValue(const std::filesystem::path& root, std::u16string_view key,
                       std::u16string_view name) {
  HKEY opened = nullptr;
  const std::wstring path = platform::HomeStoreKey(root) + L"\\" + platform::Utf16ToWide(key);
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &opened),
            ERROR_SUCCESS);
  const wchar_t text[] = L"%TEMP%";
  ::RegSetValueExW(opened, platform::Utf16ToWide(name).c_str(), 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(text), sizeof text);
  ::RegCloseKey(opened);
}

std::unique_ptr<platform::KeyboardLayout> UsKeyboardLayout() {
  return std::make_unique<platform::WindowsKeyboardLayout>(
      ::LoadKeyboardLayoutW(L"00000409", KLF_NOTELLSHELL));
}

void RemoveSystemKeyStore(const std::filesystem::path& home) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, platform::HomeStoreKey(home / "registry").c_str());
}

}  // namespace z900::test
