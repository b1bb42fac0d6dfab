#include "config/profiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "config/function_catalogue.h"
#include "device/memory_map.h"
#include "support/config_fixture.h"
#include "support/only_on.h"
#include "support/system_files.h"

namespace z900::config {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

using Bytes = std::vector<std::uint8_t>;

class ProfilesTest : public test::ConfigTest {
 protected:
  // ConfigInfo with these entries selected (by index) and everything else zero.
  void StoreTable(std::initializer_list<int> selected, std::uint32_t magic = 0) {
    ProfileTable table{};
    for (ProfileEntry& entry : table.entries) entry.magic = magic;
    for (int k : selected) table.entries[k].selected = 1;
    StoreTable(table);
  }
  void StoreTable(const ProfileTable& table) {
    ASSERT_EQ(store.CreateKey(kConfigKey), platform::KeyStoreStatus::kOk);
    ASSERT_EQ(
        store.WriteValue(kConfigKey, kConfigInfoValue, platform::BinaryValue(TableBytes(table))),
        platform::KeyStoreStatus::kOk);
  }

  // A profile file holding the defaults under `name`, and `trailer` after the record.
  void WriteProfile(int index, std::u16string_view name, std::uint8_t trailer = 0) {
    auto record = std::make_unique<SettingsRecord>();
    BuildDefaultSettings(*record, context.strings);
    platform::WriteFixedText(record->profile_name, name);
    Bytes bytes = RecordBytes(*record);
    bytes.push_back(trailer);
    WriteFile(index, bytes);
  }
  void WriteFile(int index, const Bytes& bytes) {
    fs::create_directories(ProfilePath(index).parent_path());
    ASSERT_FALSE(platform::WriteFileAtomically(ProfilePath(index), bytes));
  }
  Bytes ReadFile(int index) {
    Bytes bytes;
    EXPECT_FALSE(platform::ReadWholeFile(ProfilePath(index), 1 << 20, bytes));
    return bytes;
  }

  std::u16string LoadedName() const {
    return platform::ReadFixedText(context.settings.profile_name);
  }
  std::vector<int> SelectedFlags() const {
    std::vector<int> flags;
    for (const ProfileEntry& entry : context.profiles.entries) flags.push_back(entry.selected);
    return flags;
  }

  // Every write of a profile file fails as in a folder the user may not write.
  void MakeFolderReadOnly() {
    fault = [](ProfileFiles::Operation op, const fs::path&) {
      return op == ProfileFiles::Operation::kRead
                 ? std::error_code()
                 : std::make_error_code(std::errc::permission_denied);
    };
  }
};

TEST_F(ProfilesTest, FirstStartCreatesTheKeyAndProfileOne) {
  const LoadProfilesResult result = LoadProfiles(context, page, ports);

  EXPECT_TRUE(result.registry);
  EXPECT_TRUE(result.paths_fit);
  EXPECT_EQ(result.loaded, -1);
  platform::KeyValue value;
  ASSERT_EQ(store.ReadValue(kConfigKey, kConfigInfoValue, value), platform::KeyStoreStatus::kOk);
  EXPECT_EQ(value.data, Bytes(8180, 0));
  // The folder is made; only profile 1's file exists, with the defaults under its name.
  EXPECT_EQ(ReadFile(0).size(), 50897u);
  EXPECT_FALSE(fs::exists(ProfilePath(1)));
  EXPECT_EQ(LoadedName(), u"str_profile1");
  EXPECT_TRUE(CheckSettingsRecord(context.settings));

  EXPECT_THAT(SelectedFlags(), ElementsAre(1, 0, 0, 0, 0));
  for (int k = 0; k < kProfileCount; ++k) {
    const ProfileEntry& entry = context.profiles.entries[k];
    EXPECT_EQ(entry.magic, kProfileEntryMagic);
    EXPECT_EQ(platform::ReadFixedText(entry.file_path), platform::Utf8ToUtf16(ProfileText(k)));
    EXPECT_EQ(platform::ReadFixedText(entry.name),
              u"str_profile" + std::u16string(1, static_cast<char16_t>(u'1' + k)));
  }
  EXPECT_EQ(page.selected_profile, 0);
  EXPECT_THAT(page.profile_tabs, ElementsAre(true, false, false, false, false));
  EXPECT_THAT(ui.calls, ElementsAre("refresh"));  // no message at the first start
}

TEST_F(ProfilesTest, NoSelectedEntryMeansProfileOneWhateverTheMagic) {
  StoreTable({}, 0x1234);
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");

  EXPECT_EQ(LoadProfiles(context, page, ports).loaded, -1);

  EXPECT_EQ(LoadedName(), u"one");
  EXPECT_THAT(SelectedFlags(), ElementsAre(1, 0, 0, 0, 0));
  for (const ProfileEntry& entry : context.profiles.entries) {
    EXPECT_EQ(entry.magic, kProfileEntryMagic);
  }
  EXPECT_THAT(ui.calls, IsEmpty());
}

TEST_F(ProfilesTest, SelectedProfileWithoutItsFileFallsBackToProfileOne) {
  ProfileTable table{};
  table.entries[2].selected = 1;
  table.entries[2].auto_switch = 1;
  platform::WriteFixedText(table.entries[2].program_name, u"gimp");
  StoreTable(table);
  WriteProfile(0, u"one");

  EXPECT_EQ(LoadProfiles(context, page, ports).loaded, -1);

  EXPECT_THAT(ui.calls, Contains("message: missing " + ProfileText(2)));
  EXPECT_EQ(ReadFile(2).size(), 50897u);  // made anew with the defaults
  const ProfileEntry& third = context.profiles.entries[2];
  EXPECT_EQ(third.auto_switch, 0);
  EXPECT_EQ(platform::ReadFixedText(third.program_name), u"");
  EXPECT_EQ(LoadedName(), u"one");
  EXPECT_THAT(SelectedFlags(), ElementsAre(1, 0, 0, 0, 0));
  EXPECT_EQ(page.selected_profile_index, 0);
  EXPECT_FALSE(page.switch_box_checked);
}

// A profile file has exactly 50897 bytes and starts with the record's magic; anything else is
// kept as a copy and replaced by the defaults, at load and when the profile is selected.
TEST_F(ProfilesTest, FileThatIsNotAProfile) {
  Bytes truncated(100, 0);
  truncated[0] = truncated[1] = 0xBA;
  truncated[2] = truncated[3] = 0x80;
  truncated[4] = 65;  // button 1 of mode 0 is Copy
  Bytes longer(50898, 0);
  std::copy(truncated.begin(), truncated.begin() + 8, longer.begin());
  const std::pair<const char*, Bytes> cases[] = {
      {"foreign bytes", Bytes(50897, 0x11)},
      {"right magic, cut short", truncated},
      {"right magic, too long", longer},
  };
  for (const auto& [what, damaged] : cases) {
    SCOPED_TRACE(what);
    fs::remove_all(ProfilePath(0).parent_path());
    WriteFile(1, damaged);
    WriteProfile(0, u"one");
    StoreTable({1});
    ui.calls.clear();

    // At load: kept as a copy, replaced by the defaults, profile 1 taken; nothing shown here.
    const LoadProfilesResult result = LoadProfiles(context, page, ports);
    EXPECT_THAT(ui.calls, ElementsAre("refresh"));
    EXPECT_EQ(ReadFile(1).size(), 50897u);
    EXPECT_EQ(ReadFile(1)[0], 0xBA);
    EXPECT_EQ(LoadedName(), u"one");
    ASSERT_EQ(result.problems.size(), 1u);
    const ProfileFileProblem& kept = result.problems[0];
    EXPECT_EQ(kept.kind, ProfileFileProblem::Kind::kKeptDamaged);
    EXPECT_EQ(kept.profile, 1);
    EXPECT_EQ(kept.path, ProfilePath(1));
    EXPECT_EQ(kept.copy.parent_path(), ProfilePath(1).parent_path());
    EXPECT_TRUE(kept.copy.filename().string().starts_with("Profile2.cfg.damaged-")) << kept.copy;
    Bytes copy;
    EXPECT_FALSE(platform::ReadWholeFile(kept.copy, 1 << 20, copy));
    EXPECT_EQ(copy, damaged);
    EXPECT_FALSE(ProfileProblemIsFatal(page, kept));

    // Selected by hand: the same, and the profile is selected with the defaults.
    WriteFile(1, damaged);
    std::optional<ProfileFileProblem> problem;
    EXPECT_TRUE(SelectProfile(context, page, ports, 1, false, &problem));
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, ProfileFileProblem::Kind::kKeptDamaged);
    EXPECT_NE(problem->copy, kept.copy);
    EXPECT_EQ(LoadedName(), u"str_profile2");
    EXPECT_EQ(ButtonOf(context.settings, 0, 1).function_type, kTypeClick);
    EXPECT_THAT(SelectedFlags(), ElementsAre(0, 1, 0, 0, 0));
    EXPECT_EQ(ReadFile(1)[0], 0xBA);
  }
}

// A profile never used before has no file: selecting it makes its defaults without a word.
// What cannot be read, made or replaced leaves the previous profile selected and says why.
TEST_F(ProfilesTest, SelectingByHandMakesAMissingFileAndTellsWhatFailed) {
  WriteProfile(0, u"one");
  LoadProfiles(context, page, ports);
  ui.calls.clear();
  std::optional<ProfileFileProblem> problem;
  ASSERT_TRUE(SelectProfile(context, page, ports, 1, false, &problem));
  EXPECT_FALSE(problem);
  EXPECT_THAT(ui.calls, ElementsAre("refresh", "refresh"));  // no message
  EXPECT_EQ(ReadFile(1).size(), 50897u);
  EXPECT_EQ(LoadedName(), u"str_profile2");
  EXPECT_EQ(page.selected_profile, 1);

  const auto no_space = std::make_error_code(std::errc::no_space_on_device);
  struct Case {
    const char* what;
    std::function<void()> arrange;
    ProfileFileProblem::Kind kind;
    std::error_code error;
  };
  const Case cases[] = {
      {"a folder in its place", [&] { fs::create_directory(ProfilePath(2)); },
       ProfileFileProblem::Kind::kUnreadable, platform::FileError::kFolder},
      {"missing on a full disk",
       [&] {
         fault = [&](ProfileFiles::Operation op, const fs::path&) {
           return op == ProfileFiles::Operation::kCreate ? no_space : std::error_code();
         };
       },
       ProfileFileProblem::Kind::kNotCreated, no_space},
      {"damaged on a full disk",
       [&] {
         WriteFile(2, Bytes(10, 1));
         fault = [&](ProfileFiles::Operation op, const fs::path&) {
           return op == ProfileFiles::Operation::kCreate ? no_space : std::error_code();
         };
       },
       ProfileFileProblem::Kind::kDamagedNotReplaced, no_space},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(ProfilePath(2));
    ASSERT_TRUE(SelectProfile(context, page, ports, 1, false));
    fault = nullptr;
    c.arrange();
    const Bytes before = RecordBytes(context.settings);
    EXPECT_FALSE(SelectProfile(context, page, ports, 2, false, &problem));
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, c.kind);
    EXPECT_EQ(problem->error, c.error);
    EXPECT_EQ(page.selected_profile, 1);
    EXPECT_EQ(RecordBytes(context.settings), before);
    // No copy is left of a file that was not replaced.
    EXPECT_EQ(std::distance(fs::directory_iterator(ProfilePath(0).parent_path()),
                            fs::directory_iterator()),
              fs::exists(ProfilePath(2)) ? 3 : 2);
    fault = nullptr;
  }
}

// "Was missing … has been created" is said once the file is there, and only then; defaults
// that could not be stored end a command that would show them.
TEST_F(ProfilesTest, AMissingFileIsToldAfterItIsMadeAndOnlyWhenItIsMade) {
  StoreTable({2});
  WriteProfile(0, u"one");
  fault = [this](ProfileFiles::Operation op, const fs::path&) {
    if (op == ProfileFiles::Operation::kCreate) ui.calls.push_back("create");
    return std::error_code();
  };
  LoadProfiles(context, page, ports);
  EXPECT_THAT(ui.calls, ElementsAre("create", "refresh", "message: missing " + ProfileText(2)));

  // On a full disk nothing says that it was made; the profile shown only in memory is fatal.
  fs::remove(ProfilePath(0));
  fs::remove(ProfilePath(2));
  StoreTable({2});
  fault = [](ProfileFiles::Operation op, const fs::path&) {
    return op == ProfileFiles::Operation::kCreate
               ? std::make_error_code(std::errc::no_space_on_device)
               : std::error_code();
  };
  ui.calls.clear();
  const LoadProfilesResult result = LoadProfiles(context, page, ports);
  EXPECT_THAT(ui.calls, Each(Not(::testing::StartsWith("message"))));
  ASSERT_EQ(result.problems.size(), 2u);
  EXPECT_EQ(result.problems[0].profile, 2);
  EXPECT_EQ(result.problems[1].profile, 0);
  EXPECT_EQ(result.problems[1].kind, ProfileFileProblem::Kind::kNotCreated);
  EXPECT_FALSE(ProfileProblemIsFatal(page, result.problems[0]));
  EXPECT_TRUE(ProfileProblemIsFatal(page, result.problems[1]));
  EXPECT_EQ(LoadedName(), u"str_profile1");
  EXPECT_FALSE(fs::exists(ProfilePath(0)));
}

// The window tells each problem in its message dialog with the language's words.
TEST_F(ProfilesTest, ProblemsAreToldInTheLanguagesWords) {
  context.strings.Set(i18n::StringKey::str_profile_damaged, u"kept as %s");
  context.strings.Set(i18n::StringKey::str_profile_noread, u"cannot read %s");
  context.strings.Set(i18n::StringKey::str_profile_uncreated, u"not made %s");
  using Kind = ProfileFileProblem::Kind;
  const fs::path file = "/p/Profile2.cfg";
  const struct {
    ProfileFileProblem problem;
    std::vector<std::string> calls;
  } cases[] = {
      {{Kind::kKeptDamaged, 1, file, "/p/Profile2.cfg.damaged-1", {}},
       {"message: kept as /p/Profile2.cfg.damaged-1"}},
      {{Kind::kDamagedNotReplaced, 1, file, {}, std::make_error_code(std::errc::io_error)},
       {"message: not a profile /p/Profile2.cfg"}},
      {{Kind::kUnreadable, 1, file, {}, platform::FileError::kFolder},
       {"message: cannot read /p/Profile2.cfg (a folder, not a regular file)"}},
      {{Kind::kNotCreated, 1, file, {}, std::make_error_code(std::errc::no_space_on_device)},
       {"message: not made /p/Profile2.cfg (No space left on device)"}},
      // A denied write has been told by str_msg4 already.
      {{Kind::kNotCreated, 1, file, {}, std::make_error_code(std::errc::permission_denied)}, {}},
  };
  for (const auto& c : cases) {
    ui.calls.clear();
    TellProfileProblem(context, ui, c.problem);
    EXPECT_EQ(ui.calls, c.calls);
  }
}

TEST_F(ProfilesTest, AFileThatCannotBeReadIsReportedAndNeverReplaced) {
  Z900_LINUX_ONLY("a FIFO in place of a profile file");
  WriteProfile(2, u"three");
  StoreTable({2});
  // Profile 3 may not be read; in place of profile 1's file stands a FIFO, which would block a
  // plain open for ever.
  fault = [this](ProfileFiles::Operation op, const fs::path& path) {
    return op == ProfileFiles::Operation::kRead && path == ProfilePath(2)
               ? std::make_error_code(std::errc::permission_denied)
               : std::error_code();
  };
  ASSERT_TRUE(test::MakeFifo(ProfilePath(0)));
  const Bytes third = ReadFile(2);

  const LoadProfilesResult result = LoadProfiles(context, page, ports);

  ASSERT_EQ(result.problems.size(), 2u);
  EXPECT_EQ(result.problems[0].kind, ProfileFileProblem::Kind::kUnreadable);
  EXPECT_EQ(result.problems[0].profile, 2);
  EXPECT_EQ(result.problems[0].error, std::errc::permission_denied);
  EXPECT_EQ(result.problems[1].kind, ProfileFileProblem::Kind::kUnreadable);
  EXPECT_EQ(result.problems[1].profile, 0);
  EXPECT_EQ(result.problems[1].error, platform::FileError::kFifo);
  EXPECT_EQ(ReadFile(2), third);
  EXPECT_TRUE(fs::is_fifo(ProfilePath(0)));
  EXPECT_EQ(
      std::distance(fs::directory_iterator(ProfilePath(0).parent_path()), fs::directory_iterator()),
      2);  // no copies, no defaults
  EXPECT_THAT(ui.calls, IsEmpty());
}

TEST_F(ProfilesTest, ADamagedTableIsKeptBesideBeforeItStartsAnew) {
  const std::pair<const char*, platform::KeyValue> cases[] = {
      {"too long", platform::BinaryValue(Bytes(8181, 1))},
      {"not binary", platform::DwordValue(1)},
  };
  for (const auto& [what, damaged] : cases) {
    SCOPED_TRACE(what);
    platform::MemoryKeyStore fresh;
    config::ConfigPorts fresh_ports{channel, fresh, ui, files};
    ASSERT_EQ(fresh.CreateKey(kConfigKey), platform::KeyStoreStatus::kOk);
    ASSERT_EQ(fresh.WriteValue(kConfigKey, kConfigInfoValue, damaged),
              platform::KeyStoreStatus::kOk);

    const LoadProfilesResult result = LoadProfiles(context, page, fresh_ports);

    EXPECT_EQ(result.table_status, platform::KeyStoreStatus::kOk);
    EXPECT_TRUE(platform::Utf16ToUtf8(result.table_copy).starts_with("ConfigInfo.damaged-"));
    platform::KeyValue value;
    ASSERT_EQ(fresh.ReadValue(kConfigKey, result.table_copy, value), platform::KeyStoreStatus::kOk);
    EXPECT_EQ(value, damaged);
    ASSERT_EQ(fresh.ReadValue(kConfigKey, kConfigInfoValue, value), platform::KeyStoreStatus::kOk);
    EXPECT_EQ(value.data, Bytes(8180, 0));
  }
  // When no copy can be kept, the value stays as it is.
  store.CreateKey(kConfigKey);
  store.WriteValue(kConfigKey, kConfigInfoValue, platform::DwordValue(7));
  store.set_fail_writes(true);
  EXPECT_EQ(LoadProfiles(context, page, ports).table_status, platform::KeyStoreStatus::kFailed);
  platform::KeyValue value;
  store.ReadValue(kConfigKey, kConfigInfoValue, value);
  EXPECT_EQ(value, platform::DwordValue(7));
}

TEST_F(ProfilesTest, TheTrailerByteGoesBackIntoItsFile) {
  WriteProfile(0, u"one");
  WriteProfile(2, u"three", 0x5A);
  LoadProfiles(context, page, ports);

  ASSERT_TRUE(SelectProfile(context, page, ports, 2, false));
  platform::WriteFixedText(context.settings.profile_name, u"changed");
  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kSaved);
  const Bytes saved = ReadFile(2);
  ASSERT_EQ(saved.size(), 50897u);
  EXPECT_EQ(saved.back(), 0x5A);
  EXPECT_EQ(saved[50376], 'c');
}

TEST_F(ProfilesTest, SavingIntoAFolderThatMayNotBeWritten) {
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  StoreTable({1});
  LoadProfiles(context, page, ports);
  MakeFolderReadOnly();
  ui.calls.clear();

  // Profile 2: nothing written, nothing shown.
  platform::WriteFixedText(context.settings.profile_name, u"two changed");
  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kDenied);
  EXPECT_THAT(ui.calls, IsEmpty());
  platform::KeyValue value;
  EXPECT_EQ(store.ReadValue(kConfigKey, kDefaultSettingValue, value),
            platform::KeyStoreStatus::kNotFound);

  // Profile 1: the registry copy, read back instead of the file in the same run.
  ASSERT_TRUE(SelectProfile(context, page, ports, 0, false));
  platform::WriteFixedText(context.settings.profile_name, u"one changed");
  ui.calls.clear();
  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kRegistryCopy);
  EXPECT_EQ(page.registry_copy_flag, 1);
  EXPECT_THAT(ui.calls, IsEmpty());
  ASSERT_TRUE(SelectProfile(context, page, ports, 1, false));
  EXPECT_EQ(LoadedName(), u"two");
  ASSERT_TRUE(SelectProfile(context, page, ports, 0, false));
  EXPECT_EQ(LoadedName(), u"one changed");

  // When the registry refuses as well: the "Info" box with str_msg5.
  store.set_fail_writes(true);
  ui.calls.clear();
  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kRegistryCopyFailed);
  EXPECT_THAT(ui.calls, ElementsAre("box Info: str_msg5"));
}

TEST_F(ProfilesTest, SavingWhenTheFileIsGone) {
  WriteProfile(0, u"one");
  LoadProfiles(context, page, ports);
  fs::remove(ProfilePath(0));
  ui.calls.clear();

  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kMissing);
  EXPECT_THAT(ui.calls, ElementsAre("box Info: missing " + ProfileText(0)));
  EXPECT_FALSE(fs::exists(ProfilePath(0)));
}

TEST_F(ProfilesTest, DefaultsStayInMemoryWhenTheirFileCannotBeMade) {
  MakeFolderReadOnly();
  LoadProfiles(context, page, ports);
  EXPECT_THAT(ui.calls, Contains("message: str_msg4"));
  EXPECT_FALSE(fs::exists(ProfilePath(0)));
  EXPECT_EQ(LoadedName(), u"str_profile1");
  EXPECT_TRUE(CheckSettingsRecord(context.settings));
  EXPECT_EQ(context.message_box_flag, 0);
}

TEST_F(ProfilesTest, SaveStoppedBeforeItEndsLeavesThePreviousFile) {
  WriteProfile(0, u"before");
  LoadProfiles(context, page, ports);
  const Bytes before = ReadFile(0);
  platform::WriteFixedText(context.settings.profile_name, u"after");

  // A failing rename, in this process.
  before_rename = [] { return false; };
  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kFailed);
  EXPECT_EQ(ReadFile(0), before);

  // The process killed with the new bytes written but not yet in place.
  before_rename = []() -> bool { test::KillThisProcess(); };
  EXPECT_EXIT(SaveProfileFile(context, page, ports), test::KilledThisWay(), "");
  EXPECT_EQ(ReadFile(0), before);

  before_rename = nullptr;
  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kSaved);
  EXPECT_EQ(ReadFile(0)[50376], 'a');
  // The killed writer's temporary file went with that save.
  EXPECT_EQ(
      std::distance(fs::directory_iterator(ProfilePath(0).parent_path()), fs::directory_iterator()),
      1);
}

TEST_F(ProfilesTest, ProfileFolderTooLongForThePathFieldIsRefused) {
  context.paths.profile_folder = folder.path() / std::string(150, 'a') / std::string(150, 'b');
  const LoadProfilesResult result = LoadProfiles(context, page, ports);
  EXPECT_FALSE(result.paths_fit);
  for (const ProfileEntry& entry : context.profiles.entries) {
    EXPECT_EQ(entry.file_path[0], u'\0');
  }
  EXPECT_FALSE(fs::exists(context.paths.profile_folder));
  EXPECT_EQ(SaveProfileFile(context, page, ports), SaveOutcome::kNoProfile);
  EXPECT_THAT(ui.calls, IsEmpty());
}

TEST_F(ProfilesTest, SelectingAProfile) {
  WriteProfile(0, u"one");
  WriteProfile(1, u"two");
  LoadProfiles(context, page, ports);
  context.profiles.entries[1].auto_switch = 1;
  platform::WriteFixedText(context.profiles.entries[1].program_name, u"gimp");
  platform::KeyValue stored_before;
  store.ReadValue(kConfigKey, kConfigInfoValue, stored_before);
  mouse.ClearWireLog();

  // By a tab: loaded and selected, the mouse and the registry untouched.
  ASSERT_TRUE(SelectProfile(context, page, ports, 1, false));
  EXPECT_EQ(LoadedName(), u"two");
  EXPECT_THAT(SelectedFlags(), ElementsAre(0, 1, 0, 0, 0));
  EXPECT_EQ(page.selected_profile_index, 1);
  EXPECT_THAT(page.profile_tabs, ElementsAre(false, true, false, false, false));
  EXPECT_TRUE(page.switch_box_checked);
  EXPECT_EQ(page.program_button_text, u"gimp");
  EXPECT_THAT(Sent(), IsEmpty());
  platform::KeyValue stored;
  store.ReadValue(kConfigKey, kConfigInfoValue, stored);
  EXPECT_EQ(stored, stored_before);

  // With apply while the window is hidden in the tray: written and stored at once.
  context.tray_hidden_flag = 1;
  ASSERT_TRUE(SelectProfile(context, page, ports, 0, true));
  EXPECT_FALSE(page.switch_box_checked);
  EXPECT_EQ(Sent().size(), 24u);  // per mode: DPI, 8 slots, lighting, read, rate
  store.ReadValue(kConfigKey, kConfigInfoValue, stored);
  EXPECT_EQ(stored.data, TableBytes(context.profiles));
}

TEST_F(ProfilesTest, ResetAsksFirst) {
  LoadProfiles(context, page, ports);
  ButtonOf(context.settings, 0, 2).function_type = 65;
  mouse.ClearWireLog();
  ui.calls.clear();

  ui.answers = {0};
  EXPECT_FALSE(ResetProfile(context, page, ports));
  EXPECT_THAT(ui.calls, ElementsAre("question: str_resetinfo"));
  EXPECT_EQ(ButtonOf(context.settings, 0, 2).function_type, 65);
  EXPECT_THAT(Sent(), IsEmpty());
  EXPECT_EQ(page.dialog_open, 0);
  EXPECT_EQ(context.message_box_flag, 0);
}

TEST_F(ProfilesTest, ResetReturnsToTheDefaultsAndEmptiesTheMacroSlots) {
  LoadProfiles(context, page, ports);
  ProfileEntry& entry = context.profiles.entries[0];
  StoreMacro(0x42, u"m", 3);
  ButtonOf(context.settings, 0, 2).function_type = kTypeMacro;
  MacroIdOf(entry, 0, 2) = 0x42;
  ButtonOf(context.settings, 1, 3).function_type = 65;
  entry.auto_switch = 1;
  platform::WriteFixedText(entry.program_name, u"gimp");
  platform::WriteFixedText(context.settings.profile_name, u"mine");
  ApplyToMouse(context, page, ports, false);
  ASSERT_NE(mouse.ReadWord(0x1000), 0u);
  for (int slot = 1; slot < device::kMacroSlotCount; ++slot) {  // as earlier applies left them
    ASSERT_TRUE(device::WriteMemoryBlock(channel, page.mouse_handle, device::MacroSlotAddress(slot),
                                         Bytes{9, 9, 9}));
  }

  ui.answers = {1};
  const std::optional<ApplyReport> report = ResetProfile(context, page, ports);
  ASSERT_TRUE(report);

  for (int slot = 0; slot < device::kMacroSlotCount; ++slot) {
    EXPECT_EQ(mouse.ReadWord(device::MacroSlotAddress(slot)) & 0xFFFF, 0u) << slot;
  }
  auto defaults = std::make_unique<SettingsRecord>();
  BuildDefaultSettings(*defaults, context.strings);
  for (int mode = 0; mode < 2; ++mode) {
    for (int button = 1; button <= 8; ++button) {
      const std::uint32_t expected = DeviceCodeOf(ButtonOf(*defaults, mode, button)).value;
      EXPECT_EQ(mouse.ReadWord(*device::ButtonSlotAddress(mode, button)), expected);
    }
  }
  EXPECT_EQ(LoadedName(), u"str_profile1");
  EXPECT_THAT(entry.macro_ids, ::testing::Each(0u));
  EXPECT_EQ(entry.auto_switch, 0);
  EXPECT_EQ(entry.program_name[0], u'\0');
  EXPECT_EQ(report->save, SaveOutcome::kSaved);
  EXPECT_EQ(ReadFile(0)[50376], 's');
  EXPECT_EQ(ui.progress.back(), 100);
}

TEST_F(ProfilesTest, FirstRunMarker) {
  struct Case {
    const char* what;
    std::optional<platform::KeyValue> before;
    platform::KeyValue after;
  };
  const Case cases[] = {
      {"no key", std::nullopt, platform::BinaryValue({1, 0, 0, 0})},
      {"kept as it is", platform::BinaryValue({7}), platform::BinaryValue({7})},
      {"not binary", platform::DwordValue(1), platform::BinaryValue({1, 0, 0, 0})},
  };
  for (const Case& c : cases) {
    platform::MemoryKeyStore fresh;
    if (c.before) {
      fresh.CreateKey(kConfigKey);
      fresh.WriteValue(kConfigKey, kFirstRunValue, *c.before);
    }
    EXPECT_TRUE(WriteFirstRunMarker(fresh)) << c.what;
    platform::KeyValue value;
    EXPECT_EQ(fresh.ReadValue(kConfigKey, kFirstRunValue, value), platform::KeyStoreStatus::kOk);
    EXPECT_EQ(value, c.after) << c.what;
  }
  platform::MemoryKeyStore failing;
  failing.set_fail_writes(true);
  EXPECT_FALSE(WriteFirstRunMarker(failing));
}

}  // namespace
}  // namespace z900::config
