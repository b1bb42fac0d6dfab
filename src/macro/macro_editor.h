#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_record.h"
#include "macro/macro_recorder.h"
#include "macro/macro_rows.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/key_store.h"
#include "platform/keyboard_hook.h"

// The macro page's logic: the list of macros, the rows of the selected one, recording, the
// insert and modify commands and the loop count. Every change is stored at once, or, while
// another program holds the store lock, as soon as it is free and in the order made; the page
// only shows this state and forwards what the user does.
namespace z900::macro {

// The macro list takes at most this many rows; the new-macro command does nothing beyond.
inline constexpr std::size_t kMaxListedMacros = 101;
// The longest delay a typed value gives.
inline constexpr std::uint32_t kMaxDelayMs = 0xFFFFFF;

// Messages the editor has the page show.
enum class EditorNotice {
  kMacroInUse,    // deletion refused: a profile assigns the macro to a button
  kRenameFailed,  // the new name of a stored macro could not be stored
  kMacroFull,     // an insert would take the macro past the events a record holds
};

// What the editor needs of the program around it.
class MacroEditorHost {
 public:
  virtual ~MacroEditorHost() = default;
  // Whether a profile assigns the macro to one of its buttons.
  virtual bool MacroInUse(std::uint32_t id) = 0;
  virtual void ShowNotice(EditorNotice notice) = 0;
  // The store lock, taken without waiting and held around the changes of the store (saves,
  // renames, deletions) written at once. Null with `busy` set while another program holds it:
  // the changes wait. Null without `busy` when the lock cannot be had at all: the changes go
  // ahead all the same, as the edits would otherwise be lost.
  virtual std::unique_ptr<platform::FileLock> TryLockStore(bool& busy) = 0;
  // Changes wait for the store lock (`waiting`), or the last of them was written: while they
  // wait the host shows it and calls WriteChanges again shortly.
  virtual void ChangesWaiting(bool waiting) = 0;
  // The state changed without a call from the page: a key was recorded or captured.
  virtual void EditorChanged() = 0;
};

// The two choices of the insert command.
enum class InsertChoice { kNone, kKey, kDelay };

// The prompt shown while a command waits for input.
enum class EditorPrompt {
  kNone,
  kInsertKey,    // press the key to insert
  kInsertDelay,  // type the delay
  kModify,       // press the new key, or type the new delay
};

// A whole text as a decimal number with an optional sign; nullopt for anything else (an empty
// text, blanks, other characters). Numbers beyond 64 bits saturate.
std::optional<std::int64_t> ParseDecimalText(std::u16string_view text);

// The loop-count text after tidying: "1" for a text that is no number or 0, "65534" for 65535
// and more, otherwise the text as it is.
std::u16string TidyLoopText(std::u16string_view text);

class MacroEditor final : private RecorderListener {
 public:
  // `new_macro_name` names new macros (cut to what a record holds).
  MacroEditor(platform::KeyStore& store, platform::KeyboardHook& hook, const platform::Clock& clock,
              MacroEditorHost& host, std::u16string_view new_macro_name);
  ~MacroEditor() override;
  MacroEditor(const MacroEditor&) = delete;
  MacroEditor& operator=(const MacroEditor&) = delete;

  // Fills the macro list from the store, selects the last macro and shows its rows.
  void Open();

  // --- What the page shows.
  const std::vector<MacroRow>& macros() const { return macros_; }
  std::optional<std::size_t> selected_macro() const { return selected_macro_; }
  // The macro whose rows the event list holds.
  std::optional<std::size_t> current_macro() const { return current_macro_; }
  const std::vector<MacroRow>& events() const { return events_; }
  std::optional<std::size_t> selected_event() const { return selected_event_; }
  const std::u16string& loop_text() const { return loop_text_; }
  const std::u16string& value_text() const { return value_text_; }
  bool recording() const { return recorder_.recording(); }
  // Waiting for a key: the value box shows the key's name and takes no typing.
  bool capturing() const { return recorder_.capturing(); }
  bool delay_box_ticked() const { return delay_box_ticked_; }
  // The insert choices are shown (the upper cover is hidden) and which one is chosen.
  bool choices_shown() const { return choices_shown_; }
  InsertChoice choice() const { return choice_; }
  // The value box and OK are shown (the lower cover is hidden).
  bool value_box_shown() const { return value_box_shown_; }
  EditorPrompt prompt() const { return prompt_; }

  // --- What the user does.
  // The user selected a macro row (nullopt: none). Loads it unless it is the current macro;
  // a running recording stops first and is saved to the macro it was recording.
  void SelectMacro(std::optional<std::size_t> row);
  void SelectEvent(std::optional<std::size_t> row);
  // Adds "new macro" with a free id and makes it current; it is stored with its first rows.
  // False when nothing was added (list full, or recording).
  bool NewMacro();
  // The rename box of a macro row closed with `name`. A stored macro is renamed in the store;
  // an empty name keeps the old one.
  void RenameMacro(std::size_t row, std::u16string_view name);
  // Deletes the selected macro unless a profile uses it.
  void DeleteMacro();
  // The record button: starts a recording of the selected macro, or stops and saves one.
  void Record();
  // The delay box: while ticked, recordings hold key rows only.
  void SetDelayBoxTicked(bool ticked);
  void DeleteEvent();
  // The insert command: shows the two choices.
  void Insert();
  void ChooseInsertKey();
  void ChooseInsertDelay();
  // The modify command for the selected row.
  void Modify();
  // The user typed into the value box.
  void SetValueText(std::u16string text);
  // OK: carries out the insert while its choices are shown, otherwise the modify; then saves.
  void Ok();
  // The user changed the loop box; saves.
  void SetLoopText(std::u16string text);
  // The periodic tidying of the loop box; saves when it changes the text.
  void TidyLoopBox();

  // The page is shown again: a recording cut off by leaving it ends without saving, and a key
  // capture that was waiting listens again.
  void PageShown();
  // The page is left or hidden: the hook stops forwarding keys.
  void PageLeft();

  // --- Changes of the store that wait for the store lock.
  // Writes the waiting changes in order under one holding of the lock, then shows the notices
  // they bring. False when another program still holds the lock: they wait on.
  bool WriteChanges();
  bool changes_waiting() const { return !waiting_.empty(); }

 private:
  // A change of the store as the user made it. A deletion keeps what the page showed, to show
  // it again when the deletion is refused.
  struct StoreChange {
    enum class Kind { kSave, kRename, kDelete } kind;
    std::uint32_t id = 0;
    MacroRecord record{};  // kSave
    std::u16string name;   // kRename
    // kDelete: the macro's row and where it stood, its rows, selected row and loop count.
    std::size_t row = 0;
    MacroRow macro;
    std::vector<MacroRow> events;
    std::optional<std::size_t> selected_event;
    std::u16string loop_text;
  };

  void RowAppended(const MacroRow& row) override;
  void KeyCaptured(std::uint32_t virtual_key, const std::u16string& name) override;

  void LoadSelected();
  // Builds the record from the rows (merging adjacent delays) and stores it under the macro
  // row `target`; nothing is stored without rows or without a target.
  void Save(std::optional<std::size_t> target);
  // The macro that saves go to: the recorded one while recording, else the selected one.
  std::optional<std::size_t> SaveTarget() const;
  void StopRecording();
  void CarryOutInsert();
  void CarryOutModify();
  // Empties and shows the value box with OK, under the prompt.
  void ShowValueBox(EditorPrompt prompt);
  // Ends a pending insert or modify: covers back, nothing waiting.
  void EndCommand();
  void SelectLastEvent();
  // Queues a change behind those that wait and writes what it can.
  void Change(StoreChange change);
  // Writes one change under the lock; the notice it brings, if any.
  std::optional<EditorNotice> Write(StoreChange& change);
  // A refused deletion: the macro's row comes back, and with nothing selected since, its rows.
  void PutBack(StoreChange& deletion);
  // The rows of a macro as they will be stored: its waiting save, else the store's record.
  std::optional<MacroRecord> LatestRecord(std::uint32_t id);

  platform::KeyStore& store_;
  platform::KeyboardHook& hook_;
  const platform::Clock& clock_;
  MacroEditorHost& host_;
  std::u16string new_macro_name_;
  MacroRecorder recorder_;

  std::vector<MacroRow> macros_;
  std::optional<std::size_t> selected_macro_;
  std::optional<std::size_t> current_macro_;
  std::vector<MacroRow> events_;
  std::optional<std::size_t> selected_event_;
  std::u16string loop_text_ = u"1";
  std::u16string value_text_;
  bool delay_box_ticked_ = false;
  bool choices_shown_ = false;
  InsertChoice choice_ = InsertChoice::kNone;
  bool value_box_shown_ = false;
  EditorPrompt prompt_ = EditorPrompt::kNone;
  std::vector<StoreChange> waiting_;
};

}  // namespace z900::macro
