#include "sim/sim_state_file.h"

#include <array>
#include <cstring>

#include "device/event_word.h"
#include "device/memory_map.h"
#include "platform/crc32.h"
#include "platform/utf8_path.h"

namespace z900::sim {
namespace {

namespace fs = std::filesystem;
using platform::Crc32;

constexpr std::array<std::uint8_t, 8> kMagic = {'Z', '9', '0', '0', 'S', 'I', 'M', 0};
// Version 2 added the connection (plugged in, plug-ins so far); version 1 files still load, as
// a mouse that is plugged in.
constexpr std::uint32_t kVersion = 2;
constexpr std::uint32_t kVersionWithoutConnection = 1;
// Magic, version, 4 single bytes, 12 DPI bytes, event count; then in version 2 the connected
// byte, 3 zero bytes and the plug-in count.
constexpr std::size_t kHeaderSizeV1 = 32;
constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t FixedSize(std::size_t header) {
  return header + device::kMemorySize + 4;  // + CRC
}
constexpr std::size_t kMaxFileSize = FixedSize(kHeaderSize) + 4 * kMaxPendingEvents;

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A word a press can queue: the host-action marker, an action kind and a button index.
bool IsEventWordOfMouse(std::uint32_t word) {
  return (word & ~std::uint32_t{0x0F0F}) == device::kEventMarker;
}

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::vector<std::uint8_t> SerializeState(const MouseState& state) {
  std::vector<std::uint8_t> out(kMagic.begin(), kMagic.end());
  out.reserve(FixedSize(kHeaderSize) + 4 * state.pending_events.size());
  PutU32(out, kVersion);
  out.insert(out.end(), {state.mode, state.firmware, state.lighting[0], state.lighting[1]});
  for (const auto& stages : state.dpi) out.insert(out.end(), stages.begin(), stages.end());
  const std::size_t events = std::min(state.pending_events.size(), kMaxPendingEvents);
  PutU32(out, static_cast<std::uint32_t>(events));
  out.insert(out.end(), {static_cast<std::uint8_t>(state.connected ? 1 : 0), 0, 0, 0});
  PutU32(out, state.connection);
  std::vector<std::uint8_t> memory = state.memory;
  memory.resize(device::kMemorySize, 0);
  out.insert(out.end(), memory.begin(), memory.end());
  for (std::size_t i = 0; i < events; ++i) PutU32(out, state.pending_events[i]);
  PutU32(out, Crc32(out));
  return out;
}

std::optional<MouseState> ParseState(std::span<const std::uint8_t> bytes, std::string& error) {
  if (bytes.size() < FixedSize(kHeaderSizeV1)) {
    error = "too short (" + std::to_string(bytes.size()) + " bytes)";
    return std::nullopt;
  }
  if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
    error = "not a simulated mouse state file";
    return std::nullopt;
  }
  const std::uint32_t version = GetU32(bytes, 8);
  if (version != kVersion && version != kVersionWithoutConnection) {
    error = "unsupported version " + std::to_string(version);
    return std::nullopt;
  }
  const std::size_t header = version == kVersion ? kHeaderSize : kHeaderSizeV1;
  const std::uint32_t events = GetU32(bytes, 28);
  if (events > kMaxPendingEvents || bytes.size() != FixedSize(header) + 4 * std::size_t{events}) {
    error = "size does not match its event count";
    return std::nullopt;
  }
  if (Crc32(bytes.first(bytes.size() - 4)) != GetU32(bytes, bytes.size() - 4)) {
    error = "checksum mismatch (the file is damaged)";
    return std::nullopt;
  }
  // Every field holds only what the mouse itself can come to hold; anything else is damage.
  if (bytes[12] > 1) {
    error = "mode " + std::to_string(bytes[12]) + " is neither 0 nor 1 (the file is damaged)";
    return std::nullopt;
  }
  if (header == kHeaderSize &&
      (bytes[32] > 1 || bytes[33] != 0 || bytes[34] != 0 || bytes[35] != 0)) {
    error = "the connection bytes hold what no mouse could (the file is damaged)";
    return std::nullopt;
  }
  const std::size_t events_at = header + device::kMemorySize;
  for (std::uint32_t i = 0; i < events; ++i) {
    if (!IsEventWordOfMouse(GetU32(bytes, events_at + std::size_t{4} * i))) {
      error = "queued event " + std::to_string(i + 1) +
              " is no event word of the mouse (the file is damaged)";
      return std::nullopt;
    }
  }
  MouseState state;
  state.mode = bytes[12];
  state.firmware = bytes[13];
  state.lighting = {bytes[14], bytes[15]};
  std::copy_n(bytes.begin() + 16, 6, state.dpi[0].begin());
  std::copy_n(bytes.begin() + 22, 6, state.dpi[1].begin());
  if (header == kHeaderSize) {
    state.connected = bytes[32] != 0;
    state.connection = GetU32(bytes, 36);
  }
  const auto memory = bytes.begin() + static_cast<std::ptrdiff_t>(header);
  state.memory.assign(memory, memory + device::kMemorySize);
  for (std::uint32_t i = 0; i < events; ++i) {
    state.pending_events.push_back(GetU32(bytes, events_at + std::size_t{4} * i));
  }
  return state;
}

SimStateSession::SimStateSession(fs::path path, std::unique_ptr<platform::FileLock> lock,
                                 MouseState state)
    : path_(std::move(path)), lock_(std::move(lock)), state_(std::move(state)) {}

std::unique_ptr<SimStateSession> SimStateSession::Open(const fs::path& path, std::string& error) {
  bool busy = false;
  return Open(path, error, false, busy);
}

std::unique_ptr<SimStateSession> SimStateSession::TryOpen(const fs::path& path, std::string& error,
                                                          bool& busy) {
  return Open(path, error, true, busy);
}

std::unique_ptr<SimStateSession> SimStateSession::Open(const fs::path& path, std::string& error,
                                                       bool without_waiting, bool& busy) {
  busy = false;
  std::error_code code;
  if (path.has_parent_path()) code = platform::CreatePrivateFolders(path.parent_path());
  if (code) {
    error = "cannot create " + platform::PathToUtf8(path.parent_path()) + ": " + code.message();
    return nullptr;
  }
  fs::path lock_path = path;
  lock_path += ".lock";
  std::unique_ptr<platform::FileLock> lock =
      platform::LockFile(lock_path, platform::LockMode::kExclusive, !without_waiting, code);
  if (!lock) {
    busy = code == std::errc::resource_unavailable_try_again;
    if (!busy) error = "cannot lock " + platform::PathToUtf8(lock_path) + ": " + code.message();
    return nullptr;
  }
  std::vector<std::uint8_t> bytes;
  code = platform::ReadWholeFile(path, kMaxFileSize, bytes);
  if (code == std::errc::no_such_file_or_directory) {
    return std::unique_ptr<SimStateSession>(
        new SimStateSession(path, std::move(lock), FactoryState()));
  }
  if (code) {
    error = "cannot read " + platform::PathToUtf8(path) + ": " + code.message();
    return nullptr;
  }
  std::string why;
  std::optional<MouseState> state = ParseState(bytes, why);
  if (!state) {
    error = platform::PathToUtf8(path) + ": " + why +
            "; delete it to start again from the factory state";
    return nullptr;
  }
  return std::unique_ptr<SimStateSession>(
      new SimStateSession(path, std::move(lock), std::move(*state)));
}

bool SimStateSession::Save(const MouseState& state, std::string& error) {
  const std::vector<std::uint8_t> bytes = SerializeState(state);
  if (std::error_code code =
          platform::WriteFileAtomically(path_, bytes, {}, platform::FileAccess::kPrivate,
                                      platform::FolderCleanUp::kOurLeftovers)) {
    error = "cannot write " + platform::PathToUtf8(path_) + ": " + code.message();
    return false;
  }
  state_ = state;
  return true;
}

}  // namespace z900::sim
