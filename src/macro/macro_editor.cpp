#include "macro/macro_editor.h"

#include <algorithm>
#include <limits>

#include "macro/macro_store.h"

namespace z900::macro {
namespace {

std::uint32_t MacroIdOfRow(const MacroRow& row) { return row.tag; }

bool IsKeyRow(const MacroRow& row) { return row.kind() == kRowKeyDown || row.kind() == kRowKeyUp; }

}  // namespace

std::optional<std::int64_t> ParseDecimalText(std::u16string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 9;
  std::int64_t number = 0;
  for (char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return std::nullopt;
    number = std::min(number, kLimit) * 10 + (unit - u'0');
  }
  return negative ? -number : number;
}

std::u16string TidyLoopText(std::u16string_view text) {
  const bool digits_only = std::all_of(text.begin(), text.end(),
                                       [](char16_t unit) { return unit >= u'0' && unit <= u'9'; });
  const std::optional<std::int64_t> number = digits_only ? ParseDecimalText(text) : std::nullopt;
  if (!number || *number == 0) return u"1";
  if (*number >= 65535) return u"65534";
  return std::u16string(text);
}

MacroEditor::MacroEditor(platform::KeyStore& store, platform::KeyboardHook& hook,
                         const platform::Clock& clock, MacroEditorHost& host,
                         std::u16string_view new_macro_name)
    : store_(store),
      hook_(hook),
      clock_(clock),
      host_(host),
      new_macro_name_(CutMacroName(new_macro_name)),
      recorder_(hook, clock) {
  recorder_.set_listener(this);
}

MacroEditor::~MacroEditor() {
  if (recorder_.recording() || recorder_.capturing()) hook_.SetHookStatus(false);
}

void MacroEditor::Open() {
  macros_.clear();
  for (const MacroListEntry& entry : ListMacros(store_)) {
    macros_.push_back({RowTag(kRowMacro, entry.id), entry.name});
  }
  selected_macro_ = macros_.empty() ? std::nullopt : std::optional(macros_.size() - 1);
  LoadSelected();
  current_macro_ = selected_macro_;
}

void MacroEditor::LoadSelected() {
  if (!selected_macro_) return;
  if (std::optional<MacroRecord> record = LatestRecord(MacroIdOfRow(macros_[*selected_macro_]))) {
    LoadedMacro loaded = LoadMacroToList(*record);
    events_ = std::move(loaded.rows);
    loop_text_ = std::move(loaded.loop_text);
  } else {
    events_.clear();
  }
  SelectLastEvent();
}

void MacroEditor::SelectLastEvent() {
  selected_event_ = events_.empty() ? std::nullopt : std::optional(events_.size() - 1);
}

std::optional<std::size_t> MacroEditor::SaveTarget() const {
  return recorder_.recording() ? current_macro_ : selected_macro_;
}

void MacroEditor::Save(std::optional<std::size_t> target) {
  if (events_.empty()) return;
  const MacroRow* macro = target ? &macros_[*target] : nullptr;
  MacroBuild build = BuildMacroRecord(events_, macro ? MacroIdOfRow(*macro) : 0,
                                      macro ? std::u16string_view(macro->text) : u"", loop_text_);
  if (build.merged_row) selected_event_ = build.merged_row;
  if (macro == nullptr || build.status != BuildStatus::kBuilt) return;
  Change({.kind = StoreChange::Kind::kSave, .id = MacroIdOfRow(*macro), .record = build.record});
}

void MacroEditor::Change(StoreChange change) {
  // Of saves of one macro in a row, only the last one still needs writing.
  if (change.kind == StoreChange::Kind::kSave && !waiting_.empty() &&
      waiting_.back().kind == StoreChange::Kind::kSave && waiting_.back().id == change.id) {
    waiting_.back() = std::move(change);
  } else {
    waiting_.push_back(std::move(change));
  }
  WriteChanges();
}

bool MacroEditor::WriteChanges() {
  if (waiting_.empty()) return true;
  std::vector<StoreChange> written;
  std::vector<EditorNotice> notices;
  {
    bool busy = false;
    const std::unique_ptr<platform::FileLock> lock = host_.TryLockStore(busy);
    if (busy) {
      host_.ChangesWaiting(true);
      return false;
    }
    written.swap(waiting_);
    for (StoreChange& change : written) {
      if (const std::optional<EditorNotice> notice = Write(change)) notices.push_back(*notice);
    }
  }
  host_.ChangesWaiting(false);
  // Notices wait for the user: never while other programs wait for the lock.
  for (const EditorNotice notice : notices) host_.ShowNotice(notice);
  return true;
}

std::optional<EditorNotice> MacroEditor::Write(StoreChange& change) {
  switch (change.kind) {
    case StoreChange::Kind::kSave:
      SaveMacro(store_, change.record);
      break;
    case StoreChange::Kind::kRename:
      if (macro::RenameMacro(store_, change.id, change.name) == RenameResult::kFailed) {
        return EditorNotice::kRenameFailed;
      }
      break;
    case StoreChange::Kind::kDelete:
      // Whether a profile uses it is decided under the same lock as the deletion.
      if (host_.MacroInUse(change.id)) {
        PutBack(change);
        return EditorNotice::kMacroInUse;
      }
      macro::DeleteMacro(store_, change.id);
      break;
  }
  return std::nullopt;
}

void MacroEditor::PutBack(StoreChange& deletion) {
  const std::size_t at = std::min(deletion.row, macros_.size());
  macros_.insert(macros_.begin() + static_cast<std::ptrdiff_t>(at), std::move(deletion.macro));
  for (std::optional<std::size_t>* index : {&selected_macro_, &current_macro_}) {
    if (*index && **index >= at) ++**index;
  }
  if (selected_macro_ || current_macro_) return;
  // Nothing was chosen since the deletion: the macro is shown as it was.
  selected_macro_ = current_macro_ = at;
  events_ = std::move(deletion.events);
  selected_event_ = deletion.selected_event;
  loop_text_ = std::move(deletion.loop_text);
}

std::optional<MacroRecord> MacroEditor::LatestRecord(std::uint32_t id) {
  for (auto change = waiting_.rbegin(); change != waiting_.rend(); ++change) {
    if (change->kind == StoreChange::Kind::kSave && change->id == id) return change->record;
  }
  return LoadMacro(store_, id);
}

void MacroEditor::SelectMacro(std::optional<std::size_t> row) {
  if (row && *row >= macros_.size()) return;
  selected_macro_ = row;
  // The selection, not the row under the pointer, decides: a selection moved by the keyboard
  // must load its macro as well, or the next save would write these rows into it.
  if (row == current_macro_) return;
  if (recorder_.recording()) StopRecording();
  // Writing the recording may have put a refused deletion's row back: the selection moved
  // with the rows.
  current_macro_ = selected_macro_;
  if (!current_macro_) {
    events_.clear();
    selected_event_.reset();
    return;
  }
  LoadSelected();
  if (events_.empty()) loop_text_ = u"1";
}

void MacroEditor::SelectEvent(std::optional<std::size_t> row) {
  if (row && *row >= events_.size()) return;
  selected_event_ = row;
}

bool MacroEditor::NewMacro() {
  if (recorder_.recording() || macros_.size() >= kMaxListedMacros) return false;
  std::vector<std::uint32_t> listed;
  for (const MacroRow& row : macros_) listed.push_back(MacroIdOfRow(row));
  const std::uint32_t id = NewMacroId(store_, clock_.NowMs(), listed);
  macros_.push_back({RowTag(kRowMacro, id), new_macro_name_});
  selected_macro_ = current_macro_ = macros_.size() - 1;
  LoadSelected();
  loop_text_ = u"1";
  return true;
}

void MacroEditor::RenameMacro(std::size_t row, std::u16string_view name) {
  if (row >= macros_.size()) return;
  const std::uint32_t id = MacroIdOfRow(macros_[row]);
  const std::u16string cut(CutMacroName(name));
  if (!cut.empty()) macros_[row].text = cut;
  SelectMacro(row);
  if (!cut.empty()) Change({.kind = StoreChange::Kind::kRename, .id = id, .name = cut});
}

void MacroEditor::DeleteMacro() {
  if (recorder_.recording()) return;
  // The row goes at once; a refused deletion puts it back with what the page showed.
  std::optional<StoreChange> deletion;
  if (selected_macro_) {
    const std::size_t row = *selected_macro_;
    deletion = StoreChange{.kind = StoreChange::Kind::kDelete,
                           .id = MacroIdOfRow(macros_[row]),
                           .row = row,
                           .macro = macros_[row],
                           .events = std::move(events_),
                           .selected_event = selected_event_,
                           .loop_text = loop_text_};
    macros_.erase(macros_.begin() + static_cast<std::ptrdiff_t>(row));
  }
  selected_macro_.reset();
  current_macro_.reset();
  events_.clear();
  selected_event_.reset();
  if (deletion) Change(std::move(*deletion));
}

void MacroEditor::Record() {
  if (recorder_.recording()) {
    StopRecording();
    return;
  }
  if (!selected_macro_) return;
  // Keys go to the recording from now on, not to a capture left waiting.
  EndCommand();
  current_macro_ = selected_macro_;
  events_.clear();
  selected_event_.reset();
  recorder_.StartRecording();
}

void MacroEditor::StopRecording() {
  recorder_.StopRecording();
  Save(current_macro_);
}

void MacroEditor::SetDelayBoxTicked(bool ticked) {
  delay_box_ticked_ = ticked;
  recorder_.set_delay_box_ticked(ticked);
}

void MacroEditor::DeleteEvent() {
  if (recorder_.recording() || !selected_event_) return;
  const std::size_t row = *selected_event_;
  events_.erase(events_.begin() + static_cast<std::ptrdiff_t>(row));
  if (events_.empty()) {
    // Nothing is stored for an empty list: the stored record keeps its rows.
    selected_event_.reset();
    return;
  }
  selected_event_ = std::min(row, events_.size() - 1);
  Save(SaveTarget());
}

void MacroEditor::Insert() {
  if (recorder_.recording()) return;
  choices_shown_ = true;
}

void MacroEditor::ShowValueBox(EditorPrompt prompt) {
  value_text_.clear();
  value_box_shown_ = true;
  prompt_ = prompt;
}

void MacroEditor::ChooseInsertKey() {
  if (!choices_shown_) return;
  choice_ = InsertChoice::kKey;
  ShowValueBox(EditorPrompt::kInsertKey);
  recorder_.ClearCapturedKey();
  recorder_.StartKeyCapture();
}

void MacroEditor::ChooseInsertDelay() {
  if (!choices_shown_) return;
  choice_ = InsertChoice::kDelay;
  ShowValueBox(EditorPrompt::kInsertDelay);
  if (recorder_.capturing()) recorder_.StopKeyCapture();
}

void MacroEditor::Modify() {
  if (recorder_.recording()) return;
  ShowValueBox(EditorPrompt::kModify);
  recorder_.ClearCapturedKey();
  if (selected_event_ && IsKeyRow(events_[*selected_event_])) recorder_.StartKeyCapture();
}

void MacroEditor::SetValueText(std::u16string text) {
  // While a key is awaited the box shows the key's name, not what is typed.
  if (!recorder_.capturing()) value_text_ = std::move(text);
}

void MacroEditor::Ok() {
  if (!value_box_shown_) return;
  if (choices_shown_) {
    CarryOutInsert();
  } else {
    CarryOutModify();
  }
  EndCommand();
  Save(SaveTarget());
}

void MacroEditor::CarryOutInsert() {
  if (!selected_event_) return;
  const std::size_t at = *selected_event_;
  RowInsert inserted = RowInsert::kNothing;
  if (choice_ == InsertChoice::kKey) {
    inserted = InsertKeyRows(events_, at, recorder_.captured_key());
    if (inserted == RowInsert::kInserted) selected_event_ = at + 1;  // the new key-up row
  } else if (choice_ == InsertChoice::kDelay) {
    const std::optional<std::int64_t> number = ParseDecimalText(value_text_);
    if (!number) return;
    const bool merges_above = at > 0 && events_[at - 1].kind() == kRowDelay;
    // A negative text wraps as the unsigned number it is in 32 bits; 24 bits of it count.
    inserted = InsertDelayRow(events_, at, static_cast<std::uint32_t>(*number));
    if (inserted == RowInsert::kMerged && merges_above) selected_event_ = at - 1;
  }
  if (inserted == RowInsert::kFull) host_.ShowNotice(EditorNotice::kMacroFull);
}

void MacroEditor::CarryOutModify() {
  if (!selected_event_) return;
  MacroRow& row = events_[*selected_event_];
  if (IsKeyRow(row)) {
    const std::uint32_t key = recorder_.captured_key();
    if (key != 0) row = KeyRow(row.kind(), key);
  } else if (row.kind() == kRowDelay) {
    const std::optional<std::int64_t> number = ParseDecimalText(value_text_);
    if (!number) return;
    // As an unsigned 32-bit number: a negative text gives the longest delay.
    const std::uint32_t ms =
        *number < 0 ? static_cast<std::uint32_t>(*number)
                    : static_cast<std::uint32_t>(std::min<std::int64_t>(*number, 0xFFFFFFFF));
    row = DelayRow(std::min(ms, kMaxDelayMs));
  }
}

void MacroEditor::EndCommand() {
  if (recorder_.capturing()) recorder_.StopKeyCapture();
  choices_shown_ = false;
  choice_ = InsertChoice::kNone;
  value_box_shown_ = false;
  prompt_ = EditorPrompt::kNone;
}

void MacroEditor::SetLoopText(std::u16string text) {
  loop_text_ = std::move(text);
  Save(SaveTarget());
}

void MacroEditor::TidyLoopBox() {
  std::u16string tidy = TidyLoopText(loop_text_);
  if (tidy != loop_text_) SetLoopText(std::move(tidy));
}

void MacroEditor::PageShown() {
  // Forwarding went off when the page was left: the recording heard nothing since. Its rows
  // stay on screen unsaved.
  if (recorder_.recording()) recorder_.StopRecording();
  if (recorder_.capturing()) recorder_.StartKeyCapture();
}

void MacroEditor::PageLeft() { hook_.SetHookStatus(false); }

void MacroEditor::RowAppended(const MacroRow& row) {
  events_.push_back(row);
  SelectLastEvent();
  host_.EditorChanged();
}

void MacroEditor::KeyCaptured(std::uint32_t /*virtual_key*/, const std::u16string& name) {
  value_text_ = name;
  host_.EditorChanged();
}

}  // namespace z900::macro
