#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>

#include "cli/cli_session.h"
#include "device/command_set.h"
#include "device/memory_map.h"

namespace z900::cli {
namespace {

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

int Usage(CliSession& session, std::string_view usage) {
  return session.Fail(kExitUsage, "usage: z900ctl " + std::string(usage));
}

int RunInfo(CliSession& session, std::span<const std::string> args) {
  if (!args.empty()) return Usage(session, "info");
  if (int code = session.OpenMouse(); code != kExitOk) return code;
  int& mode = session.context().current_mode;
  if (!device::QueryMode(session.channel(), session.handle(), mode)) {
    return session.Fail(kExitFailed, "the mouse did not answer the mode query");
  }
  const std::optional<std::uint8_t> firmware =
      device::QueryFirmwareVersion(session.channel(), session.handle());
  if (!firmware) return session.Fail(kExitFailed, "the mouse did not answer the firmware query");
  session.out() << "mode: " << mode << '\n'
                << "firmware: " << *firmware / 10 << '.' << *firmware % 10 << '\n';
  return kExitOk;
}

int RunRead(CliSession& session, std::span<const std::string> args) {
  constexpr std::string_view kUsage = "read ADDR [COUNT]";
  if (args.empty() || args.size() > 2) return Usage(session, kUsage);
  const std::optional<std::uint32_t> address = ParseUnsigned(args[0]);
  const std::optional<std::uint32_t> count =
      args.size() == 2 ? ParseUnsigned(args[1]) : std::optional<std::uint32_t>(4);
  if (!address || *address >= device::kMemorySize) {
    return session.Fail(kExitUsage, "ADDR must be a number below 0x10000, such as 0x400");
  }
  if (!count || *count == 0 || *count > device::kMemorySize - *address) {
    return session.Fail(kExitUsage, "COUNT must be 1 or more and stay inside the 64 KiB memory");
  }
  if (int code = session.OpenMouse(); code != kExitOk) return code;

  // A long read takes minutes (four bytes a command): each line is shown as soon as it is read.
  constexpr std::uint32_t kLineBytes = 16;
  const std::uint32_t end = *address + *count;
  for (std::uint32_t line = *address; line < end; line += kLineBytes) {
    const std::uint32_t line_end = std::min(line + kLineBytes, end);
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t at = line; at < line_end; at += 4) {
      const std::optional<std::uint32_t> word =
          device::ReadMemory(session.channel(), session.handle(), at);
      if (!word) {
        return session.Fail(kExitFailed, "the mouse did not answer the read of 0x" + Hex(at, 4));
      }
      for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(*word >> (8 * i)));
    }
    bytes.resize(line_end - line);
    PrintHexLines(session.out(), line, bytes);
    session.out().flush();
  }
  return kExitOk;
}

constexpr std::array kCommands = {
    Command{"info", "", "show the mouse's current mode and firmware version", &RunInfo},
    Command{"read", "ADDR [COUNT]", "show COUNT bytes (default 4) of the mouse's memory", &RunRead},
};

}  // namespace

std::span<const Command> DeviceCommands() { return kCommands; }

}  // namespace z900::cli
