#include "sim/sim_faults.h"

#include <limits>

#include "platform/text.h"

namespace z900::sim {
namespace {

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  const std::optional<std::uint64_t> value = platform::ParseUnsignedNumber(text);
  if (!value || *value > std::numeric_limits<T>::max()) return std::nullopt;
  return static_cast<T>(*value);
}

}  // namespace

std::optional<SimFaults> ParseFaults(std::string_view text, std::string& error) {
  SimFaults faults;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) continue;
    const std::size_t equals = item.find('=');
    const std::string_view name = item.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
    const bool has_value = equals != std::string_view::npos;
    auto bad_value = [&] {
      error =
          "fault \"" + std::string(name) + "\" needs a number, as in " + std::string(name) + "=5";
      return std::nullopt;
    };

    if (name == "write-fail" && !has_value) {
      faults.fail_writes = true;
    } else if (name == "read-fail" && !has_value) {
      faults.fail_reads = true;
    } else if (name == "no-ack" && !has_value) {
      faults.no_ack = true;
    } else if (name == "ack-delay") {
      auto ms = ParseNumber<std::uint32_t>(value);
      if (!ms) return bad_value();
      faults.ack_delay_ms = *ms;
    } else if (name == "status") {
      auto status = ParseNumber<std::uint8_t>(value);
      if (!status) return bad_value();
      faults.status = *status;
    } else if (name == "unplug-after") {
      auto count = ParseNumber<std::uint32_t>(value);
      if (!count) return bad_value();
      faults.unplug_after = *count;
    } else if (name == "count") {
      auto count = ParseNumber<std::uint32_t>(value);
      if (!count) return bad_value();
      faults.count = *count;
    } else if (name == "only") {
      auto code = ParseNumber<std::uint8_t>(value);
      if (!code) return bad_value();
      faults.only_command = *code;
    } else {
      error = "unknown fault \"" + std::string(item) +
              "\"; known: write-fail, read-fail, no-ack, ack-delay=MS, status=N, "
              "unplug-after=N, only=CODE, count=N";
      return std::nullopt;
    }
  }
  return faults;
}

}  // namespace z900::sim
