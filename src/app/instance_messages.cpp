#include "app/instance_messages.h"

#include <array>
#include <charconv>

namespace z900::app {
namespace {

// Three decimal fields separated by single blanks.
std::optional<std::array<int, 3>> ParseFields(std::string_view line) {
  std::array<int, 3> fields{};
  const char* at = line.data();
  const char* const end = line.data() + line.size();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) {
      if (at == end || *at != ' ') return std::nullopt;
      ++at;
    }
    const auto [next, error] = std::from_chars(at, end, fields[i]);
    if (error != std::errc() || next == at) return std::nullopt;
    at = next;
  }
  if (at != end) return std::nullopt;
  return fields;
}

}  // namespace

std::string FormatInstanceRequest(InstanceRequest request) {
  switch (request) {
    case InstanceRequest::kShowWindow:
      return std::to_string(kTrayNotifyMessage) + " 0 " + std::to_string(kDoubleClick) + "\n";
    case InstanceRequest::kHideWindow:
      return std::to_string(kHideWindowMessage) + " 0 0\n";
  }
  return {};
}

std::optional<InstanceRequest> ParseInstanceRequest(std::string_view line) {
  if (line.size() > kMaxRequestLine) return std::nullopt;
  const std::optional<std::array<int, 3>> fields = ParseFields(line);
  if (!fields) return std::nullopt;
  const auto [message, wparam, lparam] = *fields;
  // Only the double click may come from outside: a context click would open the tray menu
  // where the pointer happens to be.
  if (message == kTrayNotifyMessage && lparam == kDoubleClick) return InstanceRequest::kShowWindow;
  if (message == kHideWindowMessage) return InstanceRequest::kHideWindow;
  return std::nullopt;
}

}  // namespace z900::app
