#include "macro/macro_recorder.h"

#include "keys/key_names.h"

namespace z900::macro {

using platform::kKeyReleasedFlag;

MacroRecorder::MacroRecorder(platform::KeyboardHook& hook, const platform::Clock& clock)
    : hook_(hook), clock_(clock) {}

void MacroRecorder::StartRecording() {
  rows_.clear();
  recorded_keys_ = 0;
  last_tick_.reset();
  hook_.SetReceiveWindow(this);
  hook_.SetHookStatus(true);
  recording_ = true;
}

std::vector<MacroRow> MacroRecorder::StopRecording() {
  hook_.SetHookStatus(false);
  recording_ = false;
  std::vector<MacroRow> rows;
  rows.swap(rows_);
  return rows;
}

void MacroRecorder::StartKeyCapture() {
  hook_.SetReceiveWindow(this);
  hook_.SetHookStatus(true);
  capturing_ = true;
}

void MacroRecorder::StopKeyCapture() {
  hook_.SetHookStatus(false);
  capturing_ = false;
}

void MacroRecorder::OnHookKey(std::uint32_t virtual_key, std::uint32_t flags) {
  // A held key repeats its press; only the first counts. Applies to capture as well.
  if (virtual_key == last_key_code_ &&
      (flags & kKeyReleasedFlag) == (last_key_flags_ & kKeyReleasedFlag)) {
    return;
  }
  if (capturing_) {
    captured_key_ = virtual_key;
    if (listener_ != nullptr)
      listener_->KeyCaptured(virtual_key, keys::GetMacroKeyName(virtual_key));
    return;
  }
  if (!recording_ || recorded_keys_ >= kMaxRecordedKeys) return;
  if (!delay_box_ticked_) {
    const std::uint64_t now = clock_.NowMs();
    if (last_tick_) Append(DelayRow(now - *last_tick_));
    last_tick_ = now;
  }
  Append(KeyRow((flags & kKeyReleasedFlag) != 0 ? kRowKeyUp : kRowKeyDown, virtual_key));
  ++recorded_keys_;
  last_key_code_ = virtual_key;
  last_key_flags_ = flags;
}

void MacroRecorder::Append(MacroRow row) {
  rows_.push_back(std::move(row));
  if (listener_ != nullptr) listener_->RowAppended(rows_.back());
}

}  // namespace z900::macro
