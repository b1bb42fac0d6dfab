#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace z900::platform {

inline constexpr std::uint16_t kMouseVendorId = 0x5E1D;
inline constexpr std::uint16_t kMouseProductId = 0x0E37;
inline constexpr std::uint16_t kMouseUsagePage = 0xFF00;
inline constexpr std::uint16_t kMouseUsage = 0x0E;
inline constexpr std::uint8_t kMouseReportId = 0xBA;
inline constexpr std::size_t kMouseReportSize = 32;  // each way, report ID included

// One open handle on the mouse's vendor interface.
class HidTransport {
 public:
  virtual ~HidTransport() = default;
  // Writes one output report; report[0] is the report ID.
  virtual bool WriteReport(std::span<const std::uint8_t> report) = 0;
  // Fetches the answer to the last command. On entry buffer[0] holds the report ID. Returns the
  // length of the answer, which then lies in the buffer with the status in byte 0, or -1 when
  // the read failed.
  virtual int GetInputReport(std::span<std::uint8_t> buffer) = 0;
  // Waits up to timeout_ms for a report the mouse sends by itself (an interrupt report).
  // Returns its length, 0 when none came, -1 when the device failed.
  virtual int ReadInputReport(std::span<std::uint8_t> buffer, int timeout_ms) = 0;
  // Why the last failed call failed, in words, for the diagnostic trace.
  virtual std::string LastError() const = 0;
};

// Puts an answer of `length` bytes, as the mouse sent it, into the layout the channel reads:
// the status in byte 0. A mouse may lead with the report ID, as the HID rules have it for a
// numbered report, or with the status; a status is 0, 1 or 2 and never the report ID, so the
// two cannot be confused. Returns the length of the answer from the status on.
std::size_t StatusFirstAnswer(std::span<std::uint8_t> answer, std::size_t length);

enum class HidOpenError {
  kNone,
  kNoDevice,           // no mouse with the vendor interface is connected
  kAccessDenied,       // the mouse is there but this user may not open it
  kUnsupportedSystem,  // the mouse is there but the system cannot fetch its answers
  kOpenFailed,         // any other failure, see the detail text
};

struct HidOpenResult {
  std::unique_ptr<HidTransport> transport;
  HidOpenError error = HidOpenError::kNone;
  std::string detail;  // device path or system message, for the user
};

// The HID access library: bound and released in pairs, opens the mouse.
class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // Binds the library; false when it cannot be used at all.
  virtual bool Initialise() = 0;
  // Releases what Initialise bound; called once per successful Initialise.
  virtual void Shutdown() = 0;
  virtual HidOpenResult OpenMouse() = 0;
};

// The HID access of this platform.
std::unique_ptr<HidBackend> CreateSystemHidBackend();

// What an enumeration tells about one HID interface of the mouse.
struct HidInterfaceInfo {
  std::string path;
  std::uint16_t usage_page = 0;
  std::uint16_t usage = 0;
};

// Picks the vendor interface (usage page 0xFF00, usage 0x0E) among the mouse's interfaces.
std::optional<HidInterfaceInfo> SelectMouseInterface(const std::vector<HidInterfaceInfo>& found);

// One text for the user per open failure, saying what to do about it.
std::string DescribeOpenFailure(HidOpenError error, const std::string& detail);

// How a user of this system gets the right to open the mouse, for the access-denied text.
std::string MouseAccessHint();

}  // namespace z900::platform
