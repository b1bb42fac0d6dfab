#include "platform/windows/registry_key_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace z900::platform {
namespace {

using ::testing::ElementsAre;
using Status = KeyStoreStatus;

constexpr std::u16string_view kBase = u"Software\\TALVO\\Z900";

class RegistryKeyStoreTest : public ::testing::Test {
 protected:
  test::TempFolder folder;
  // The store of a Z900_HOME folder: a key of the current user, gone with the folder.
  std::unique_ptr<KeyStore> store = CreateSystemKeyStore(folder.path() / "registry");

  HKEY OpenRaw(const std::wstring& below) {
    HKEY key = nullptr;
    ::RegOpenKeyExW(HKEY_CURRENT_USER,
                    (HomeStoreKey(folder.path() / "registry") + L"\\" + below).c_str(), 0,
                    KEY_ALL_ACCESS, &key);
    return key;
  }
};

// Every type the utility stores goes in and comes back as it was, as the registry's own value
// of that type.
TEST_F(RegistryKeyStoreTest, ValuesRoundTripAsRegistryValues) {
  ASSERT_EQ(store->CreateKey(kBase), Status::kOk);
  const std::vector<std::uint8_t> table(8180, 0x5A);
  const std::pair<std::u16string, KeyValue> values[] = {
      {u"ConfigInfo", BinaryValue(table)},
      {u"FirstRun", DwordValue(1)},
      {u"Name", StringValue(u"Zo\u00eb \u65e5\u672c")},
      {u"", BinaryValue({})},
  };
  for (const auto& [name, value] : values) {
    ASSERT_EQ(store->WriteValue(kBase, name, value), Status::kOk);
  }
  for (const auto& [name, value] : values) {
    KeyValue read;
    ASSERT_EQ(store->ReadValue(kBase, name, read), Status::kOk);
    EXPECT_EQ(read, value);
  }
  // As another program sees them: REG_BINARY of 8180 bytes, REG_DWORD 1.
  const HKEY raw = OpenRaw(L"Software\\TALVO\\Z900");
  ASSERT_NE(raw, nullptr);
  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(::RegQueryValueExW(raw, L"ConfigInfo", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 8180u);
  DWORD first_run = 0;
  size = sizeof first_run;
  EXPECT_EQ(::RegQueryValueExW(raw, L"FirstRun", nullptr, &type,
                               reinterpret_cast<BYTE*>(&first_run), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(first_run, 1u);

  // A value of a type the utility never writes is not taken for one of its own.
  ASSERT_EQ(::RegSetValueExW(raw, L"Expand", 0, REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(L"%TEMP%"), 14),
            ERROR_SUCCESS);
  ::RegCloseKey(raw);
  KeyValue read;
  EXPECT_EQ(store->ReadValue(kBase, u"Expand", read), Status::kUnreadable);
  EXPECT_EQ(store->ReadValue(kBase, u"Missing", read), Status::kNotFound);
  EXPECT_EQ(store->WriteValue(u"Software\\Missing", u"x", DwordValue(1)), Status::kNotFound);
}

// The registry's case rule: names that differ in case alone are one name, which keeps the case
// it was created with.
TEST_F(RegistryKeyStoreTest, NamesCompareWithoutRegardToCase) {
  ASSERT_EQ(store->CreateKey(u"Software\\TALVO\\Z900\\Macro\\00ABCDEF"), Status::kOk);
  EXPECT_EQ(store->OpenKey(u"software\\talvo\\z900\\macro\\00abcdef"), Status::kOk);
  ASSERT_EQ(store->CreateKey(u"SOFTWARE\\TALVO\\Z900\\MACRO\\00abcdef"), Status::kOk);
  std::vector<std::u16string> names;
  ASSERT_EQ(store->EnumerateSubkeys(u"Software\\TALVO\\Z900\\Macro", names), Status::kOk);
  EXPECT_THAT(names, ElementsAre(u"00ABCDEF"));
  ASSERT_EQ(store->WriteValue(kBase, u"ConfigInfo", DwordValue(7)), Status::kOk);
  KeyValue read;
  ASSERT_EQ(store->ReadValue(kBase, u"CONFIGINFO", read), Status::kOk);
  EXPECT_EQ(read, DwordValue(7));
  EXPECT_EQ(store->DeleteKey(u"software\\talvo\\z900\\macro\\00abcdef"), Status::kOk);
  EXPECT_EQ(store->OpenKey(u"Software\\TALVO\\Z900\\Macro\\00ABCDEF"), Status::kNotFound);
}

// Subkeys come in ascending order whatever order they were made in, and only those a key path
// can name.
TEST_F(RegistryKeyStoreTest, EnumeratesNameableSubkeysInOrder) {
  for (std::u16string_view id : {u"00ff0000", u"00000010", u"000a0000"}) {
    ASSERT_EQ(store->CreateKey(std::u16string(kBase) + u"\\Macro\\" + std::u16string(id)),
              Status::kOk);
  }
  const HKEY macros = OpenRaw(L"Software\\TALVO\\Z900\\Macro");
  HKEY other = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(macros, L".hidden", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other,
                              nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(other);
  ::RegCloseKey(macros);
  std::vector<std::u16string> names;
  ASSERT_EQ(store->EnumerateSubkeys(std::u16string(kBase) + u"\\Macro", names), Status::kOk);
  EXPECT_THAT(names, ElementsAre(u"00000010", u"000a0000", u"00ff0000"));
}

TEST(RegistryLocationTest, EachHomeHasAKeyOfItsOwn) {
  const std::filesystem::path home = L"C:\\Users\\Zo\u00eb\\z900\\registry";
  EXPECT_EQ(HomeStoreKey(home), L"Software\\Z900 homes\\C:/Users/Zo\u00eb/z900/registry");
  EXPECT_EQ(DescribeKeyStoreLocation(home),
            "HKEY_CURRENT_USER\\Software\\Z900 homes\\C:/Users/Zo\xC3\xAB/z900/registry");
  EXPECT_EQ(DescribeKeyStoreLocation({}), "HKEY_LOCAL_MACHINE");
  // Too long for a key name: still one key per folder, and a valid name.
  const std::wstring deep(300, L'a');
  const std::wstring a = HomeStoreKey(std::filesystem::path(L"C:\\") / deep / L"1");
  const std::wstring b = HomeStoreKey(std::filesystem::path(L"C:\\") / deep / L"2");
  EXPECT_NE(a, b);
  EXPECT_LT(a.size() - std::wstring(L"Software\\Z900 homes\\").size(), 255u);
}

// What an earlier installation keeps in the machine's registry is found there.
TEST(MachineKeyStoreTest, FindsTheSettingsOfAnEarlierInstallation) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUtilityKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const BYTE marker[4] = {1, 0, 0, 0};
  ASSERT_EQ(::RegSetValueExW(key, L"FirstRun", 0, REG_BINARY, marker, 4), ERROR_SUCCESS);
  ::RegCloseKey(key);
  const std::unique_ptr<KeyStore> machine = CreateSystemKeyStore({});
  KeyValue value;
  EXPECT_EQ(machine->ReadValue(kBase, u"FirstRun", value), Status::kOk);
  EXPECT_EQ(value, BinaryValue({1, 0, 0, 0}));
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUtilityKey, KEY_WOW64_32KEY, 0);
}

}  // namespace
}  // namespace z900::platform
