#include "cli/terminal_ui_port.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <string>

#include "platform/text.h"

namespace z900::cli {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

int TerminalUiPort::ShowMessage(const std::u16string& text, bool confirm) {
  const std::string message = platform::Utf16ToUtf8(text);
  if (!confirm) {
    out_ << message << '\n';
    return 1;
  }
  out_ << message << " [y/N] ";
  if (assume_yes_) {
    out_ << "yes (--yes)\n";
    return 1;
  }
  std::string answer;
  if (in_ == nullptr || !std::getline(*in_, answer)) {
    out_ << "no (nobody to answer; use --yes)\n";
    return 0;
  }
  return answer == "y" || answer == "Y" || answer == "yes" ? 1 : 0;
}

void TerminalUiPort::ShowStandardBox(const std::u16string& text, const std::u16string& caption) {
  err_ << platform::Utf16ToUtf8(caption) << ": " << platform::Utf16ToUtf8(text) << '\n';
}

void TerminalUiPort::OpenProgress() {
  progress_open_ = true;
  last_progress_ = 0;
}

void TerminalUiPort::SetProgress(int position) {
  last_progress_ = std::clamp(position, 0, 100);
  if (!progress_open_ || !progress_bar_) return;
  const int filled = last_progress_ * kBarWidth / 100;
  err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << last_progress_
       << "%" << std::flush;
}

void TerminalUiPort::CloseProgress() {
  if (progress_open_ && progress_bar_) err_ << '\n';
  progress_open_ = false;
}

}  // namespace z900::cli
