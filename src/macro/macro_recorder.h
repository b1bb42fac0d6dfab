#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "macro/macro_rows.h"
#include "platform/clock.h"
#include "platform/keyboard_hook.h"

namespace z900::macro {

// Key rows one recording takes at most; further keys are ignored.
inline constexpr std::size_t kMaxRecordedKeys = 999;

// What the editor shows of the recorder's work.
class RecorderListener {
 public:
  virtual ~RecorderListener() = default;
  // A row was appended to the recording; it becomes the selected row.
  virtual void RowAppended(const MacroRow& /*row*/) {}
  // A key was captured for the insert or modify command; `name` goes into the value box.
  virtual void KeyCaptured(std::uint32_t /*virtual_key*/, const std::u16string& /*name*/) {}
};

// Turns the keyboard hook's key messages into macro rows while recording, and captures single
// keys for the editor's insert and modify commands. Lives, like the editor, for the whole run;
// runs on the ui thread.
class MacroRecorder final : public platform::KeyReceiver {
 public:
  MacroRecorder(platform::KeyboardHook& hook, const platform::Clock& clock);

  // Starts a recording that replaces the macro's rows.
  void StartRecording();
  // Ends the recording and hands over its rows, for the editor to save.
  std::vector<MacroRow> StopRecording();
  void StartKeyCapture();
  void StopKeyCapture();

  void OnHookKey(std::uint32_t virtual_key, std::uint32_t flags) override;

  // The editor's delay box: while ticked, recordings hold key rows only.
  void set_delay_box_ticked(bool ticked) { delay_box_ticked_ = ticked; }
  void set_listener(RecorderListener* listener) { listener_ = listener; }

  bool recording() const { return recording_; }
  bool capturing() const { return capturing_; }
  // The key last captured; 0 = none.
  std::uint32_t captured_key() const { return captured_key_; }
  void ClearCapturedKey() { captured_key_ = 0; }
  const std::vector<MacroRow>& rows() const { return rows_; }

 private:
  void Append(MacroRow row);

  platform::KeyboardHook& hook_;
  const platform::Clock& clock_;
  RecorderListener* listener_ = nullptr;
  bool delay_box_ticked_ = false;

  bool recording_ = false;
  bool capturing_ = false;
  std::uint32_t captured_key_ = 0;
  std::size_t recorded_keys_ = 0;
  std::optional<std::uint64_t> last_tick_;  // time of the previous key row of this recording
  // The last key message recorded; kept across recordings so that a held key's repeats and a
  // release left over from the previous recording are dropped.
  std::uint32_t last_key_code_ = 0;
  std::uint32_t last_key_flags_ = 0;
  std::vector<MacroRow> rows_;
};

}  // namespace z900::macro
