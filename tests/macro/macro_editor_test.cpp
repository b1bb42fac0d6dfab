#include "macro/macro_editor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "macro/macro_chooser.h"
#include "macro/macro_store.h"
#include "platform/memory_key_store.h"
#include "platform/virtual_clock.h"
#include "platform/virtual_key.h"
#include "support/fake_keyboard_hook.h"

namespace z900::macro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Step = test::FakeKeyboardHook::Step;

MacroRow Down(std::uint32_t key) { return KeyRow(kRowKeyDown, key); }
MacroRow Up(std::uint32_t key) { return KeyRow(kRowKeyUp, key); }

class Host final : public MacroEditorHost {
 public:
  bool MacroInUse(std::uint32_t id) override { return in_use.contains(id); }
  void ShowNotice(EditorNotice notice) override {
    EXPECT_FALSE(lock_held) << "a notice waits for the user while others wait for the lock";
    notices.push_back(notice);
  }
  void EditorChanged() override { ++changes; }

  // While `guarded` is set, that store takes changes only while the lock is held.
  class Lock final : public platform::FileLock {
   public:
    explicit Lock(Host& host) : host_(host) {
      EXPECT_FALSE(host_.lock_held);
      host_.lock_held = true;
      ++host_.locks;
      if (host_.guarded) host_.guarded->set_fail_writes(false);
    }
    ~Lock() override {
      host_.lock_held = false;
      if (host_.guarded) host_.guarded->set_fail_writes(true);
    }

   private:
    Host& host_;
  };
  std::unique_ptr<platform::FileLock> TryLockStore(bool& busy) override {
    busy = held_elsewhere;
    return busy ? nullptr : std::make_unique<Lock>(*this);
  }
  void ChangesWaiting(bool now_waiting) override { waiting = now_waiting; }

  std::set<std::uint32_t> in_use;
  std::vector<EditorNotice> notices;
  int changes = 0;
  platform::MemoryKeyStore* guarded = nullptr;
  bool lock_held = false;
  int locks = 0;
  // Another program holds the lock.
  bool held_elsewhere = false;
  bool waiting = false;
};

class MacroEditorTest : public ::testing::Test {
 protected:
  void Store(std::uint32_t id, std::u16string_view name, std::vector<MacroRow> rows,
             std::u16string_view loop = u"1") {
    ASSERT_TRUE(SaveMacro(store, BuildMacroRecord(rows, id, name, loop).record));
  }
  // The rows stored for a macro; empty when it is not stored.
  std::vector<MacroRow> Stored(std::uint32_t id) {
    const std::optional<MacroRecord> record = LoadMacro(store, id);
    return record ? LoadMacroToList(*record).rows : std::vector<MacroRow>{};
  }
  std::uint32_t StoredLoopCount(std::uint32_t id) {
    const std::optional<MacroRecord> record = LoadMacro(store, id);
    return record ? record->loop_count : 0;
  }
  MacroEditor& Open(std::u16string new_name = u"New macro") {
    editor = std::make_unique<MacroEditor>(store, hook, clock, host, std::move(new_name));
    editor->Open();
    return *editor;
  }
  // A macro 0xA1 "Keys" holding the given rows, opened with the row `selected` selected.
  MacroEditor& OpenWith(std::vector<MacroRow> rows, std::optional<std::size_t> selected) {
    Store(0xA1, u"Keys", std::move(rows));
    MacroEditor& page = Open();
    page.SelectEvent(selected);
    return page;
  }
  void Type(const std::vector<Step>& steps) { hook.Play(clock, steps); }
  // Three changes of the first macro: a 30 ms delay before its second row (saved), the loop
  // count 3 (saved), and the name "Renamed".
  void EditFirstMacro(MacroEditor& page) {
    page.SelectMacro(0);
    page.SelectEvent(1);
    page.Insert();
    page.ChooseInsertDelay();
    page.SetValueText(u"30");
    page.Ok();
    page.SetLoopText(u"3");
    page.RenameMacro(0, u"Renamed");
  }

  platform::MemoryKeyStore store;
  test::FakeKeyboardHook hook;
  platform::VirtualClock clock{0x01234567};
  Host host;
  std::unique_ptr<MacroEditor> editor;
};

TEST(MacroEditorTextTest, DecimalTextsAndTheLoopBoxTidying) {
  const std::pair<std::u16string_view, std::optional<std::int64_t>> numbers[] = {
      {u"0", 0},           {u"300", 300},        {u"-5", -5},           {u"+7", 7},
      {u"", std::nullopt}, {u"-", std::nullopt}, {u"1a", std::nullopt}, {u" 5", std::nullopt},
  };
  for (const auto& [text, number] : numbers) {
    EXPECT_EQ(ParseDecimalText(text), number) << std::string(text.begin(), text.end());
  }
  EXPECT_GT(ParseDecimalText(u"99999999999999999999999"), 0xFFFFFFFF);  // saturates
  const std::pair<std::u16string_view, std::u16string_view> tidy[] = {
      {u"0", u"1"},         {u"", u"1"},      {u"00", u"1"},        {u"x", u"1"},
      {u"-3", u"1"},        {u"12", u"12"},   {u"65534", u"65534"}, {u"65535", u"65534"},
      {u"99999", u"65534"}, {u"007", u"007"},
  };
  for (const auto& [text, tidied] : tidy) {
    EXPECT_EQ(TidyLoopText(text), tidied) << std::string(text.begin(), text.end());
  }
}

TEST_F(MacroEditorTest, OpensOnTheLastMacroWithItsRowsAndLoopCount) {
  Store(0xA1, u"First", {Down('A'), Up('A')});
  Store(0xB2, u"Second", {Down('B'), DelayRow(40), Up('B')}, u"3");
  MacroEditor& page = Open();
  EXPECT_THAT(page.macros(), ElementsAre(MacroRow{0xA1, u"First"}, MacroRow{0xB2, u"Second"}));
  EXPECT_EQ(page.selected_macro(), 1u);
  EXPECT_EQ(page.current_macro(), 1u);
  EXPECT_THAT(page.events(), ElementsAre(Down('B'), DelayRow(40), Up('B')));
  EXPECT_EQ(page.selected_event(), 2u);
  EXPECT_EQ(page.loop_text(), u"3");
}

TEST_F(MacroEditorTest, NewMacroLivesOnlyInTheListUntilItHasRows) {
  const std::uint32_t tick_id = static_cast<std::uint32_t>(clock.NowMs() & 0xFFFFFF);
  Store(tick_id, u"Taken", {Down('A')});
  MacroEditor& page = Open(u"A default name longer than a record holds");
  page.SetLoopText(u"5");
  ASSERT_TRUE(page.NewMacro());
  const MacroRow added = page.macros().back();
  EXPECT_EQ(added.tag, tick_id + 1);              // the tick's id is taken
  EXPECT_EQ(added.text, u"A default name long");  // 19 units, as the record holds
  EXPECT_EQ(page.current_macro(), 1u);
  EXPECT_THAT(page.events(), IsEmpty());
  EXPECT_EQ(page.loop_text(), u"1");

  page.RenameMacro(1, u"Renamed");
  page.SetLoopText(u"4");
  EXPECT_THAT(ListMacros(store), ElementsAre(MacroListEntry{tick_id, u"Taken"}));
  EXPECT_THAT(host.notices, IsEmpty());
  // After a restart it is gone.
  EXPECT_THAT(Open().macros(), ElementsAre(MacroRow{tick_id, u"Taken"}));
}

TEST_F(MacroEditorTest, TheListTakesAtMost101Macros) {
  MacroEditor& page = Open();
  for (int i = 0; i < 101; ++i) {
    ASSERT_TRUE(page.NewMacro()) << i;
    clock.Advance(1);
  }
  EXPECT_FALSE(page.NewMacro());
  EXPECT_EQ(page.macros().size(), 101u);
  std::set<std::uint32_t> ids;
  for (const MacroRow& row : page.macros()) ids.insert(row.tag);
  EXPECT_EQ(ids.size(), 101u);
}

TEST_F(MacroEditorTest, DeletingTheOnlyRowKeepsTheRecordAndClickingTheCurrentMacroKeepsTheList) {
  Store(0xA1, u"One", {Down('Q')});
  Store(0xB2, u"Other", {Down('W'), Up('W')});
  MacroEditor& page = Open();
  page.SelectMacro(0);
  page.SelectEvent(0);
  page.DeleteEvent();
  EXPECT_THAT(page.events(), IsEmpty());
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down('Q')));
  page.SelectMacro(0);  // the current macro: not loaded again
  EXPECT_THAT(page.events(), IsEmpty());
  page.SelectMacro(1);
  page.SelectMacro(0);
  EXPECT_THAT(page.events(), ElementsAre(Down('Q')));
}

TEST_F(MacroEditorTest, DeletingARowSavesTheRestAndKeepsASelection) {
  MacroEditor& page = OpenWith({Down('A'), DelayRow(10), Down('B'), DelayRow(20), Up('A')}, 2);
  page.DeleteEvent();
  // The save merges the delays that now meet and selects the merged row.
  EXPECT_THAT(page.events(), ElementsAre(Down('A'), DelayRow(30), Up('A')));
  EXPECT_EQ(page.selected_event(), 1u);
  EXPECT_EQ(Stored(0xA1), page.events());
  page.SelectEvent(2);
  page.DeleteEvent();
  EXPECT_EQ(page.selected_event(), 1u);  // the last row went: its upper neighbour is selected
}

struct InsertDelayCase {
  const char* name;
  std::vector<MacroRow> rows;
  std::size_t selected;
  std::u16string_view text;
  std::vector<MacroRow> expected;
  std::size_t expected_selected;
};

TEST_F(MacroEditorTest, InsertingADelay) {
  const InsertDelayCase cases[] = {
      {"first row: nothing", {Down('A'), Up('A')}, 0, u"100", {Down('A'), Up('A')}, 0},
      {"between keys", {Down('A'), Up('A')}, 1, u"100", {Down('A'), DelayRow(100), Up('A')}, 1},
      {"into the delay above, capped",
       {Down('A'), DelayRow(327500), Up('A')},
       2,
       u"300",
       {Down('A'), DelayRow(327670), Up('A')},
       1},
      {"into the selected delay",
       {Down('A'), DelayRow(50), Up('A')},
       1,
       u"25",
       {Down('A'), DelayRow(75), Up('A')},
       1},
      {"minus five wraps",
       {Down('A'), Up('A')},
       1,
       u"-5",
       {Down('A'), DelayRow(16777211), Up('A')},
       1},
      {"no number", {Down('A'), Up('A')}, 1, u"5s", {Down('A'), Up('A')}, 1},
      {"empty", {Down('A'), Up('A')}, 1, u"", {Down('A'), Up('A')}, 1},
  };
  for (const InsertDelayCase& c : cases) {
    SCOPED_TRACE(c.name);
    MacroEditor& page = OpenWith(c.rows, c.selected);
    page.Insert();
    page.ChooseInsertDelay();
    EXPECT_EQ(page.prompt(), EditorPrompt::kInsertDelay);
    page.SetValueText(std::u16string(c.text));
    page.Ok();
    EXPECT_EQ(page.events(), c.expected);
    EXPECT_EQ(page.selected_event(), c.expected_selected);
    EXPECT_EQ(Stored(0xA1), c.expected);
    EXPECT_FALSE(page.choices_shown());
    EXPECT_FALSE(page.value_box_shown());
    EXPECT_EQ(page.prompt(), EditorPrompt::kNone);
  }
}

TEST_F(MacroEditorTest, InsertingAKeyPutsItsPressAndReleaseBeforeTheSelectedRow) {
  MacroEditor& page = OpenWith({Down('A'), DelayRow(10), Up('A'), Down('C'), Up('C')}, 3);
  page.Insert();
  EXPECT_TRUE(page.choices_shown());
  EXPECT_EQ(page.choice(), InsertChoice::kNone);
  page.ChooseInsertKey();
  EXPECT_EQ(page.prompt(), EditorPrompt::kInsertKey);
  EXPECT_TRUE(hook.forwarding);
  Type({{5, 'B', false}});
  EXPECT_EQ(page.value_text(), u"B");
  page.SetValueText(u"typed");  // the box shows the key, whatever is typed
  EXPECT_EQ(page.value_text(), u"B");
  page.Ok();
  EXPECT_FALSE(hook.forwarding);
  EXPECT_THAT(page.events(), ElementsAre(Down('A'), DelayRow(10), Up('A'), Down('B'), Up('B'),
                                         Down('C'), Up('C')));
  EXPECT_EQ(page.selected_event(), 4u);
  EXPECT_EQ(Stored(0xA1), page.events());

  // Without a key pressed nothing is inserted.
  page.Insert();
  page.ChooseInsertKey();
  page.Ok();
  EXPECT_EQ(page.events().size(), 7u);
}

TEST_F(MacroEditorTest, ModifyingARow) {
  struct Case {
    const char* name;
    std::size_t selected;
    std::vector<Step> keys;
    std::u16string_view text;
    std::vector<MacroRow> expected;
  };
  const Case cases[] = {
      {"key down only",
       0,
       {{1, 'Z', false}, {1, 'Z', true}},
       u"",
       {Down('Z'), DelayRow(10), Up('A')}},
      {"no key pressed", 0, {}, u"", {Down('A'), DelayRow(10), Up('A')}},
      {"delay", 1, {}, u"250", {Down('A'), DelayRow(250), Up('A')}},
      {"minus five", 1, {}, u"-5", {Down('A'), DelayRow(16777215), Up('A')}},
      {"no number", 1, {}, u"x", {Down('A'), DelayRow(10), Up('A')}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MacroEditor& page = OpenWith({Down('A'), DelayRow(10), Up('A')}, c.selected);
    page.Modify();
    EXPECT_EQ(page.prompt(), EditorPrompt::kModify);
    EXPECT_EQ(page.capturing(), c.selected == 0);
    Type(c.keys);
    page.SetValueText(std::u16string(c.text));
    page.Ok();
    EXPECT_EQ(page.events(), c.expected);
    EXPECT_EQ(Stored(0xA1), c.expected);
    EXPECT_FALSE(page.capturing());
    EXPECT_FALSE(page.value_box_shown());
  }
}

TEST_F(MacroEditorTest, OkAfterInsertAndThenModifyCarriesOutTheInsert) {
  MacroEditor& page = OpenWith({Down('A'), DelayRow(10), Up('A')}, 1);
  page.Insert();
  page.ChooseInsertDelay();
  page.SetValueText(u"40");
  page.Modify();
  EXPECT_EQ(page.prompt(), EditorPrompt::kModify);
  EXPECT_TRUE(page.choices_shown());
  page.SetValueText(u"40");
  page.Ok();
  // Inserted into the selected delay, not set to 40 as a modify would.
  EXPECT_THAT(page.events(), ElementsAre(Down('A'), DelayRow(50), Up('A')));
}

TEST_F(MacroEditorTest, AnInsertBeyondWhatARecordHoldsIsRefused) {
  std::vector<MacroRow> rows;
  for (std::size_t i = 0; i < kMaxMacroRows / 2; ++i) {
    rows.push_back(Down('A'));
    rows.push_back(Up('A'));
  }
  MacroEditor& page = OpenWith(rows, 1);
  page.Insert();
  page.ChooseInsertKey();
  Type({{1, 'B', false}});
  page.Ok();
  EXPECT_THAT(host.notices, ElementsAre(EditorNotice::kMacroFull));
  EXPECT_EQ(page.events(), rows);
  page.Insert();
  page.ChooseInsertDelay();
  page.SetValueText(u"5");
  page.Ok();
  EXPECT_THAT(host.notices, ElementsAre(EditorNotice::kMacroFull, EditorNotice::kMacroFull));
  EXPECT_EQ(Stored(0xA1).size(), kMaxMacroRows);
}

TEST_F(MacroEditorTest, LoopBoxSavesAtOnceAndTidiesItsText) {
  MacroEditor& page = OpenWith({Down('A'), Up('A')}, 0);
  page.SetLoopText(u"0");
  EXPECT_EQ(StoredLoopCount(0xA1), 1u);
  EXPECT_EQ(page.loop_text(), u"0");
  page.TidyLoopBox();
  EXPECT_EQ(page.loop_text(), u"1");
  page.SetLoopText(u"70000");
  EXPECT_EQ(StoredLoopCount(0xA1), 65533u);
  page.TidyLoopBox();
  EXPECT_EQ(page.loop_text(), u"65534");
  EXPECT_EQ(StoredLoopCount(0xA1), 65533u);
}

TEST_F(MacroEditorTest, EveryChangeOfTheStoreHoldsTheStoreLock) {
  Store(0xA1, u"Used", {Down('A'), Up('A')});
  Store(0xB2, u"Free", {Down('B')});
  host.in_use = {0xA1};
  MacroEditor& page = Open();
  host.guarded = &store;
  store.set_fail_writes(true);

  EditFirstMacro(page);
  page.DeleteMacro();  // refused, and the notice comes after the lock is gone
  page.SelectMacro(1);
  page.DeleteMacro();
  EXPECT_FALSE(host.lock_held);
  EXPECT_EQ(host.locks, 5);
  EXPECT_THAT(host.notices, ElementsAre(EditorNotice::kMacroInUse));
  EXPECT_THAT(ListMacros(store), ElementsAre(MacroListEntry{0xA1, u"Renamed"}));
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down('A'), DelayRow(30), Up('A')));
  EXPECT_EQ(StoredLoopCount(0xA1), 3u);
}

TEST_F(MacroEditorTest, ChangesWaitWhileAnotherProgramHoldsTheLockAndLandInTheirOrder) {
  Store(0xA1, u"Used", {Down('A'), Up('A')});
  Store(0xB2, u"Free", {Down('B')});
  Store(0xC3, u"Other", {Down('C')});
  host.in_use = {0xA1};
  MacroEditor& page = Open();
  host.held_elsewhere = true;

  // Written before the rename, the saved record's old name would win.
  EditFirstMacro(page);
  EXPECT_TRUE(host.waiting);
  // Loaded again, the macro shows its waiting rows, not the stored ones.
  page.SelectMacro(1);
  page.SelectMacro(0);
  EXPECT_THAT(page.events(), ElementsAre(Down('A'), DelayRow(30), Up('A')));
  EXPECT_EQ(page.loop_text(), u"3");
  page.DeleteMacro();  // in use: put back once that is decided under the lock
  page.SelectMacro(0);
  page.DeleteMacro();
  page.SelectMacro(0);
  EXPECT_THAT(page.macros(), ElementsAre(MacroRow{0xC3, u"Other"}));
  EXPECT_EQ(host.locks, 0);
  EXPECT_THAT(ListMacros(store),
              ElementsAre(MacroListEntry{0xA1, u"Used"}, MacroListEntry{0xB2, u"Free"},
                          MacroListEntry{0xC3, u"Other"}));
  EXPECT_FALSE(page.WriteChanges());
  EXPECT_TRUE(page.changes_waiting());

  host.held_elsewhere = false;
  EXPECT_TRUE(page.WriteChanges());
  EXPECT_FALSE(host.waiting);
  EXPECT_FALSE(page.changes_waiting());
  EXPECT_EQ(host.locks, 1);
  EXPECT_THAT(host.notices, ElementsAre(EditorNotice::kMacroInUse));
  EXPECT_THAT(ListMacros(store),
              ElementsAre(MacroListEntry{0xA1, u"Renamed"}, MacroListEntry{0xC3, u"Other"}));
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down('A'), DelayRow(30), Up('A')));
  EXPECT_EQ(StoredLoopCount(0xA1), 3u);
  // The refused macro is back in its place; the selection stays on the macro chosen since.
  EXPECT_THAT(page.macros(), ElementsAre(MacroRow{0xA1, u"Renamed"}, MacroRow{0xC3, u"Other"}));
  EXPECT_EQ(page.selected_macro(), 1u);
  EXPECT_EQ(page.current_macro(), 1u);
  EXPECT_THAT(page.events(), ElementsAre(Down('C')));
}

TEST_F(MacroEditorTest, DeletingAMacro) {
  Store(0xA1, u"Used", {Down('A')});
  Store(0xB2, u"Free", {Down('B'), Up('B')});
  host.in_use = {0xA1};
  MacroEditor& page = Open();

  page.SelectMacro(0);
  page.DeleteMacro();
  EXPECT_THAT(host.notices, ElementsAre(EditorNotice::kMacroInUse));
  EXPECT_EQ(page.macros().size(), 2u);
  EXPECT_THAT(page.events(), ElementsAre(Down('A')));  // refused: nothing changes
  EXPECT_EQ(page.selected_macro(), 0u);

  page.SelectMacro(1);
  page.DeleteMacro();
  EXPECT_THAT(page.macros(), ElementsAre(MacroRow{0xA1, u"Used"}));
  EXPECT_THAT(ListMacros(store), ElementsAre(MacroListEntry{0xA1, u"Used"}));
  EXPECT_EQ(page.selected_macro(), std::nullopt);
  EXPECT_THAT(page.events(), IsEmpty());
  // With nothing current, clicking the remaining macro loads it.
  page.SelectMacro(0);
  EXPECT_THAT(page.events(), ElementsAre(Down('A')));
}

TEST_F(MacroEditorTest, RenamingInPlace) {
  Store(0xA1, u"Stored", {Down('A')});
  MacroEditor& page = Open();
  ASSERT_TRUE(page.NewMacro());
  page.RenameMacro(0, u"Copy");
  EXPECT_THAT(ListMacros(store), ElementsAre(MacroListEntry{0xA1, u"Copy"}));
  EXPECT_EQ(page.current_macro(), 0u);  // the renamed row is selected and shown
  EXPECT_THAT(page.events(), ElementsAre(Down('A')));
  page.RenameMacro(0, u"");
  EXPECT_EQ(page.macros()[0].text, u"Copy");
  page.RenameMacro(1, u"Unstored");  // lives in the list only
  EXPECT_EQ(page.macros()[1].text, u"Unstored");
  EXPECT_THAT(host.notices, IsEmpty());

  store.set_fail_writes(true);
  page.RenameMacro(0, u"Paste");
  EXPECT_THAT(host.notices, ElementsAre(EditorNotice::kRenameFailed));
}

TEST_F(MacroEditorTest, RecordingReplacesTheRowsAndIsSavedWhenItStops) {
  Store(0xA1, u"First", {Down('A')});
  Store(0xB2, u"Second", {Down('B')});
  MacroEditor& page = Open();
  page.Record();
  EXPECT_TRUE(page.recording());
  EXPECT_THAT(page.events(), IsEmpty());
  Type({{0, platform::kVkReturn, false}, {120, platform::kVkReturn, true}});
  EXPECT_EQ(host.changes, 3);
  EXPECT_EQ(page.selected_event(), 2u);
  // The buttons that are off while recording do nothing.
  EXPECT_FALSE(page.NewMacro());
  page.DeleteEvent();
  page.Insert();
  EXPECT_FALSE(page.choices_shown());
  // Selecting another macro stops the recording and saves it to the recorded one.
  page.SelectMacro(0);
  EXPECT_FALSE(page.recording());
  EXPECT_FALSE(hook.forwarding);
  EXPECT_THAT(Stored(0xB2),
              ElementsAre(Down(platform::kVkReturn), DelayRow(120), Up(platform::kVkReturn)));
  EXPECT_THAT(page.events(), ElementsAre(Down('A')));

  page.SetDelayBoxTicked(true);
  page.Record();
  Type({{0, platform::kVkEscape, false}, {300, platform::kVkEscape, true}});
  page.Record();
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down(platform::kVkEscape), Up(platform::kVkEscape)));
}

TEST_F(MacroEditorTest, StartingARecordingEndsAWaitingKeyCapture) {
  MacroEditor& page = OpenWith({Down('A'), Up('A')}, 1);
  page.Insert();
  page.ChooseInsertKey();
  page.Record();
  EXPECT_FALSE(page.capturing());
  EXPECT_FALSE(page.choices_shown());
  Type({{0, 'K', false}});
  EXPECT_THAT(page.events(), ElementsAre(Down('K')));
}

TEST_F(MacroEditorTest, LeavingThePageCutsARecordingOffWithoutSaving) {
  MacroEditor& page = OpenWith({Down('A'), Up('A')}, 1);
  page.Record();
  Type({{0, 'K', false}});
  page.PageLeft();
  EXPECT_FALSE(hook.forwarding);
  page.PageShown();
  EXPECT_FALSE(page.recording());
  EXPECT_THAT(page.events(), ElementsAre(Down('K')));
  EXPECT_THAT(Stored(0xA1), ElementsAre(Down('A'), Up('A')));

  // A key capture that was waiting listens again.
  page.Modify();
  page.PageLeft();
  page.PageShown();
  EXPECT_TRUE(hook.forwarding);
}

TEST(MacroChooserTest, PresetsAndChoice) {
  const std::pair<std::uint32_t, std::optional<std::size_t>> presets[] = {
      {0, std::nullopt}, {1, 0}, {3, 2}, {4, 3}, {5, std::nullopt}, {0xFFFFFFFF, std::nullopt}};
  for (const auto& [preset, row] : presets) EXPECT_EQ(PresetRow(preset, 4), row) << preset;

  const std::vector<MacroListEntry> macros = {{0xA1, u"One"}, {0xB2, u"Two"}};
  EXPECT_EQ(ChosenMacro(macros, 1), (MacroChoice{0xB2, 2}));
  EXPECT_EQ(PresetRow(ChosenMacro(macros, 1)->position, macros.size()), 1u);
  EXPECT_EQ(ChosenMacro(macros, std::nullopt), std::nullopt);
  EXPECT_EQ(ChosenMacro({}, std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace z900::macro
