#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "sim/simulated_mouse.h"

namespace z900::sim {

// The state file: "Z900SIM\0", version, mode, firmware, lighting, DPI bytes, event count,
// 64 KiB of memory, the event words, CRC-32 of all that.
std::vector<std::uint8_t> SerializeState(const MouseState& state);
// Refuses a file of the wrong size, magic, version, event count or checksum, and one whose
// mode or queued event words no mouse could hold.
std::optional<MouseState> ParseState(std::span<const std::uint8_t> bytes, std::string& error);

// One program's use of the shared simulated mouse: the state file is locked from Open until
// the session ends, so two programs never interleave their load and save.
class SimStateSession {
 public:
  // Locks the file (waiting for another program to finish), then loads it; a missing file
  // gives the factory state. Null and an explanation when it cannot be used.
  static std::unique_ptr<SimStateSession> Open(const std::filesystem::path& path,
                                               std::string& error);
  // The same without waiting: null with `busy` set while another program holds the file.
  static std::unique_ptr<SimStateSession> TryOpen(const std::filesystem::path& path,
                                                  std::string& error, bool& busy);

  MouseState& state() { return state_; }
  // Writes the state back atomically; the lock is kept.
  bool Save(const MouseState& state, std::string& error);

 private:
  static std::unique_ptr<SimStateSession> Open(const std::filesystem::path& path,
                                               std::string& error, bool without_waiting,
                                               bool& busy);
  SimStateSession(std::filesystem::path path, std::unique_ptr<platform::FileLock> lock,
                  MouseState state);

  std::filesystem::path path_;
  std::unique_ptr<platform::FileLock> lock_;
  MouseState state_;
};

}  // namespace z900::sim
