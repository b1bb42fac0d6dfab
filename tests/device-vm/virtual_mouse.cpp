// A virtual Z900 for the device-path test: the mouse's USB HID interfaces created through
// /dev/uhid inside the test guest, answering the vendor commands as docs/protocol.md describes
// them. It is written from that document alone and shares no code with src/, so the test
// checks the tool against the protocol and not against the project's own simulated mouse.
//
//   virtual_mouse [options]
//     --layout status-first|id-first  answer layout of GET_REPORT: the status in byte 0, or
//                                     the report ID 0xBA first and the status in byte 1
//     --busy N                        answer "busy" to the first N fetches after each command
//     --reply-size N                  send only the first N bytes of each answer
//     --answers get-report|interrupt  interrupt: refuse GET_REPORT (EIO, as a stalled control
//                                     request) and send each answer as an interrupt report
//     --vendor-only                   leave out the mouse and decoy interfaces
//     --unplug-after N                answer N fetches, then vanish (destroy every interface)
//                                     at the next one without answering it
//     --control FIFO                  lines "event WORD" (send an event report) and "quit"
//     --ready FILE                    created once every interface has its /dev/hidraw node
//     --dump FILE                     the 64 KiB memory, written when the mouse goes away
//
// Everything the kernel asks of the device is logged on standard error, one line each,
// starting with "vmouse: ".

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint16_t kVendorId = 0x5E1D;
constexpr std::uint16_t kProductId = 0x0E37;
constexpr std::uint8_t kReportId = 0xBA;
constexpr std::size_t kReportSize = 32;
constexpr std::uint8_t kStatusBusy = 0;
constexpr std::uint8_t kStatusDone = 1;
constexpr std::uint8_t kStatusRefused = 2;
constexpr std::size_t kMemorySize = 0x10000;
constexpr std::size_t kMaxWrite = 24;
constexpr std::uint8_t kEventTag = 0xEE;

// The vendor interface: usage page 0xFF00, usage 0x0E, report 0xBA with 31 data bytes each way.
// clang-format off
constexpr std::uint8_t kVendorDescriptor[] = {
    0x06, 0x00, 0xFF,        // Usage Page (0xFF00)
    0x09, 0x0E,              // Usage (0x0E)
    0xA1, 0x01,              // Collection (Application)
    0x85, kReportId,         //   Report ID (0xBA)
    0x15, 0x00,              //   Logical Minimum (0)
    0x26, 0xFF, 0x00,        //   Logical Maximum (255)
    0x75, 0x08,              //   Report Size (8)
    0x95, kReportSize - 1,   //   Report Count (31)
    0x09, 0x01, 0x81, 0x02,  //   Usage (1), Input (Data, Variable, Absolute)
    0x95, kReportSize - 1,   //   Report Count (31)
    0x09, 0x02, 0x91, 0x02,  //   Usage (2), Output (Data, Variable, Absolute)
    0xC0,                    // End Collection
};
// clang-format on

// The pointer itself: a five-button mouse with wheel, no report ID.
constexpr std::uint8_t kMouseDescriptor[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x03, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09,
    0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0,
};

// Another collection on the vendor page (usage 0x01, report 1): the tool must not take it.
constexpr std::uint8_t kDecoyDescriptor[] = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75,
    0x08, 0x95, 0x07, 0x09, 0x01, 0x81, 0x02, 0x95, 0x07, 0x09, 0x02, 0x91, 0x02, 0xC0,
};

using Answer = std::array<std::uint8_t, kReportSize>;

void Log(const std::string& line) { std::fprintf(stderr, "vmouse: %s\n", line.c_str()); }

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  char part[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(part, sizeof part, "%02x ", byte);
    text += part;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | bytes[3];
}

// The device's memory and command set, from its factory state.
class Mouse {
 public:
  Mouse() : memory_(kMemorySize, 0) {
    memory_[0x14] = 1;  // 1000 Hz in both modes
    memory_[0x15] = 1;
    memory_[0x18] = kFirmware;
  }

  // Carries out one command payload (the output report after its ID) and returns the answer.
  Answer Execute(std::span<const std::uint8_t> payload) {
    Answer answer{};
    answer[0] = kStatusRefused;
    const std::uint8_t command = payload[0];
    if (command == 0xA2) {
      answer[0] = kStatusDone;
      answer[1] = mode_;
    } else if (command == 0xA3) {
      answer[0] = kStatusDone;
      answer[1] = kFirmware;
    } else if (command == 0xA4) {
      const std::uint32_t address = BigEndian32(payload.subspan(1, 4));
      if (address < kMemorySize && payload[5] == 4) {
        answer[0] = kStatusDone;
        for (std::uint32_t i = 0; i < 4; ++i) {
          answer[1 + i] = address + i < kMemorySize ? memory_[address + i] : 0;
        }
      }
    } else if (command == 0xA5) {
      const std::uint32_t address = BigEndian32(payload.subspan(1, 4));
      const std::size_t length = payload[5];
      if (length > 0 && length <= kMaxWrite && address + length <= kMemorySize) {
        std::copy_n(payload.begin() + 6, length, memory_.begin() + address);
        answer[0] = kStatusDone;
      }
    } else if (command == 0xA6) {
      answer[0] = ApplySetting(payload[1], payload.subspan(2)) ? kStatusDone : kStatusRefused;
    }
    return answer;
  }

  const std::vector<std::uint8_t>& memory() const { return memory_; }

  // The settings that live outside the memory map, for the log.
  std::string Settings() const {
    return "dpi " + Hex(dpi_[0]) + " / " + Hex(dpi_[1]) + ", lighting " +
           std::to_string(lighting_[0]) + " / " + std::to_string(lighting_[1]);
  }

 private:
  static constexpr std::uint8_t kFirmware = 12;

  static bool ValidRate(std::uint8_t code) { return code == 1 || code == 2 || code == 8; }

  bool ApplySetting(std::uint8_t setting, std::span<const std::uint8_t> value) {
    switch (setting) {
      case 2:
      case 5: {  // DPI stages: count x 16 + first, then the other stages, zero where unused
        const int count = value[0] >> 4;
        if (count < 1 || count > 4) return false;
        for (int i = 0; i < 4; ++i) {
          const std::uint8_t stage = i == 0 ? value[0] & 0x0F : value[i];
          if (stage > 3 || (i >= count && stage != 0)) return false;
        }
        std::copy_n(value.begin(), 4, dpi_[setting == 2 ? 0 : 1].begin());
        return true;
      }
      case 3:  // report rates of both modes
        if (!ValidRate(value[0]) || !ValidRate(value[1])) return false;
        memory_[0x14] = value[0];
        memory_[0x15] = value[1];
        return true;
      case 4:
      case 6:
        lighting_[setting == 4 ? 0 : 1] = value[0];
        return true;
      default:
        return false;
    }
  }

  std::vector<std::uint8_t> memory_;
  std::uint8_t mode_ = 0;
  std::array<std::array<std::uint8_t, 4>, 2> dpi_{};
  std::array<std::uint8_t, 2> lighting_{};
};

struct Options {
  bool id_first = false;
  int busy_polls = 0;
  std::size_t reply_size = kReportSize;
  bool answer_by_interrupt = false;
  bool vendor_only = false;
  std::optional<int> unplug_after;
  std::string control;
  std::string ready;
  std::string dump;
};

// One HID interface of the mouse, a uhid device of its own.
struct Interface {
  std::string label;
  std::span<const std::uint8_t> descriptor;
  std::string phys;
  int fd = -1;
};

bool Send(const Interface& interface, const uhid_event& event) {
  if (::write(interface.fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event)) {
    return true;
  }
  Log(interface.label + ": uhid write failed: " + std::strerror(errno));
  return false;
}

bool Create(Interface& interface) {
  interface.fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (interface.fd < 0) {
    Log(std::string("cannot open /dev/uhid: ") + std::strerror(errno));
    return false;
  }
  uhid_event event{};
  event.type = UHID_CREATE2;
  auto& create = event.u.create2;
  std::snprintf(reinterpret_cast<char*>(create.name), sizeof create.name, "Z900 %s",
                interface.label.c_str());
  std::snprintf(reinterpret_cast<char*>(create.phys), sizeof create.phys, "%s",
                interface.phys.c_str());
  create.rd_size = static_cast<std::uint16_t>(interface.descriptor.size());
  create.bus = 0x03;  // USB
  create.vendor = kVendorId;
  create.product = kProductId;
  create.version = 0x0100;
  std::copy(interface.descriptor.begin(), interface.descriptor.end(), create.rd_data);
  return Send(interface, event);
}

void Destroy(Interface& interface) {
  if (interface.fd < 0) return;
  uhid_event event{};
  event.type = UHID_DESTROY;
  Send(interface, event);
  ::close(interface.fd);
  interface.fd = -1;
}

void SendInputReport(const Interface& interface, std::span<const std::uint8_t> report) {
  uhid_event event{};
  event.type = UHID_INPUT2;
  event.u.input2.size = static_cast<std::uint16_t>(report.size());
  std::copy(report.begin(), report.end(), event.u.input2.data);
  if (Send(interface, event)) Log(interface.label + ": input report " + Hex(report));
}

// True once every interface has a hidraw node in /dev, found through its physical path.
bool NodesReady(const std::vector<Interface>& interfaces) {
  std::size_t found = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/hidraw", error)) {
    std::ifstream uevent(entry.path() / "device" / "uevent");
    std::string line;
    while (std::getline(uevent, line)) {
      for (const Interface& interface : interfaces) {
        if (line == "HID_PHYS=" + interface.phys &&
            std::filesystem::exists("/dev" / entry.path().filename(), error)) {
          ++found;
        }
      }
    }
  }
  return found == interfaces.size();
}

std::optional<long> Number(std::string_view text) {
  long value = 0;
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--vendor-only") {
      options.vendor_only = true;
      continue;
    }
    if (i + 1 == argc) return std::nullopt;
    const std::string value = argv[++i];
    const std::optional<long> number = Number(value);
    if (name == "--layout" && (value == "status-first" || value == "id-first")) {
      options.id_first = value == "id-first";
    } else if (name == "--answers" && (value == "get-report" || value == "interrupt")) {
      options.answer_by_interrupt = value == "interrupt";
    } else if (name == "--busy" && number && *number >= 0) {
      options.busy_polls = static_cast<int>(*number);
    } else if (name == "--reply-size" && number && *number >= 0 && *number <= 32) {
      options.reply_size = static_cast<std::size_t>(*number);
    } else if (name == "--unplug-after" && number && *number >= 0) {
      options.unplug_after = static_cast<int>(*number);
    } else if (name == "--control") {
      options.control = value;
    } else if (name == "--ready") {
      options.ready = value;
    } else if (name == "--dump") {
      options.dump = value;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

class VirtualMouse {
 public:
  explicit VirtualMouse(Options options) : options_(std::move(options)) {
    if (!options_.vendor_only) {
      interfaces_.push_back({"mouse-if", kMouseDescriptor, "usb-vm-1/input0"});
      interfaces_.push_back({"decoy-if", kDecoyDescriptor, "usb-vm-1/input2"});
    }
    interfaces_.push_back({"vendor-if", kVendorDescriptor, "usb-vm-1/input1"});
  }

  int Run() {
    for (Interface& interface : interfaces_) {
      if (!Create(interface)) return 1;
    }
    int control = -1;
    if (!options_.control.empty()) {
      // Opened for writing too, so that the FIFO never reports end of file between writers.
      control = ::open(options_.control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
      if (control < 0) {
        Log("cannot open " + options_.control + ": " + std::strerror(errno));
        return 1;
      }
    }
    bool ready = options_.ready.empty();
    while (!quit_) {
      std::vector<pollfd> fds;
      for (const Interface& interface : interfaces_) fds.push_back({interface.fd, POLLIN, 0});
      if (control >= 0) fds.push_back({control, POLLIN, 0});
      if (::poll(fds.data(), fds.size(), ready ? -1 : 10) < 0 && errno != EINTR) break;
      for (std::size_t i = 0; i < interfaces_.size() && !quit_; ++i) {
        if (fds[i].revents & POLLIN) HandleEvent(interfaces_[i]);
      }
      if (control >= 0 && (fds.back().revents & POLLIN)) HandleControl(control);
      if (!ready && NodesReady(interfaces_)) {
        std::ofstream(options_.ready).put('\n');
        ready = true;
      }
    }
    GoAway();
    return 0;
  }

 private:
  Interface& vendor() { return interfaces_.back(); }

  void HandleEvent(Interface& interface) {
    uhid_event event{};
    if (::read(interface.fd, &event, sizeof event) <= 0) return;
    switch (event.type) {
      case UHID_START:
      case UHID_STOP:
      case UHID_OPEN:
      case UHID_CLOSE: {
        constexpr const char* kNames[] = {"START", "STOP", "OPEN", "CLOSE"};
        Log(interface.label + ": " + kNames[event.type - UHID_START]);
        break;
      }
      case UHID_OUTPUT:
        HandleOutput(interface, std::span(event.u.output.data, event.u.output.size),
                     event.u.output.rtype);
        break;
      case UHID_GET_REPORT:
        HandleGetReport(interface, event.u.get_report);
        break;
      case UHID_SET_REPORT: {
        Log(interface.label + ": UNEXPECTED set report " + std::to_string(event.u.set_report.rnum));
        uhid_event reply{};
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = event.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
        Send(interface, reply);
        break;
      }
      default:
        Log(interface.label + ": event " + std::to_string(event.type));
    }
  }

  void HandleOutput(Interface& interface, std::span<const std::uint8_t> report, std::uint8_t type) {
    if (&interface != &vendor() || type != UHID_OUTPUT_REPORT || report.size() != kReportSize ||
        report[0] != kReportId) {
      Log(interface.label + ": UNEXPECTED output report (type " + std::to_string(type) + ", " +
          std::to_string(report.size()) + " bytes): " + Hex(report));
      return;
    }
    answer_ = mouse_.Execute(report.subspan(1));
    busy_left_ = options_.busy_polls;
    Log("command " + Hex(report.subspan(1, 10)) + " -> status " + std::to_string(answer_[0]));
    if (options_.answer_by_interrupt) {
      Answer interrupt{kReportId};
      std::copy_n(answer_.begin(), kReportSize - 1, interrupt.begin() + 1);
      SendInputReport(vendor(), interrupt);
    }
  }

  void HandleGetReport(Interface& interface, const uhid_get_report_req& request) {
    uhid_event reply{};
    reply.type = UHID_GET_REPORT_REPLY;
    reply.u.get_report_reply.id = request.id;
    const bool ours =
        &interface == &vendor() && request.rnum == kReportId && request.rtype == UHID_INPUT_REPORT;
    if (!ours || options_.answer_by_interrupt) {
      if (!ours) {
        Log(interface.label + ": UNEXPECTED get report " + std::to_string(request.rnum) +
            " of type " + std::to_string(request.rtype));
      }
      reply.u.get_report_reply.err = EIO;
      Send(interface, reply);
      Log(interface.label + ": get report refused");
      return;
    }
    if (options_.unplug_after && answers_ == *options_.unplug_after) {
      Log("unplugged");
      quit_ = true;
      return;
    }
    ++answers_;
    Answer answer{};
    if (busy_left_ > 0) {
      --busy_left_;
      answer[0] = kStatusBusy;
    } else {
      answer = answer_;
    }
    std::array<std::uint8_t, kReportSize> data{};
    if (options_.id_first) {
      data[0] = kReportId;
      std::copy_n(answer.begin(), kReportSize - 1, data.begin() + 1);
    } else {
      data = answer;
    }
    const std::size_t size = options_.reply_size;
    reply.u.get_report_reply.size = static_cast<std::uint16_t>(size);
    std::copy_n(data.begin(), size, reply.u.get_report_reply.data);
    Send(interface, reply);
    Log("get report -> " + Hex(std::span(data).first(std::min<std::size_t>(size, 8))) +
        (size > 8 ? " ..." : "") + " (" + std::to_string(size) + " bytes)");
  }

  void HandleControl(int control) {
    char chunk[256];
    const ssize_t got = ::read(control, chunk, sizeof chunk);
    if (got > 0) pending_.append(chunk, static_cast<std::size_t>(got));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      const std::string text = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      std::istringstream line(text);
      std::string word;
      std::string argument;
      line >> word >> argument;
      const std::optional<long> value = Number(argument);
      if (word == "quit") {
        quit_ = true;
      } else if (word == "event" && value && *value >= 0 && *value <= 0xFFFFFFFFL) {
        Answer report{kReportId, kEventTag};
        for (int i = 0; i < 4; ++i) report[2 + i] = static_cast<std::uint8_t>(*value >> (8 * i));
        SendInputReport(vendor(), report);
      } else {
        Log("unknown control line: " + text);
      }
    }
  }

  void GoAway() {
    for (Interface& interface : interfaces_) Destroy(interface);
    Log("settings: " + mouse_.Settings());
    if (!options_.dump.empty()) {
      std::ofstream dump(options_.dump, std::ios::binary);
      dump.write(reinterpret_cast<const char*>(mouse_.memory().data()),
                 static_cast<std::streamsize>(mouse_.memory().size()));
    }
    Log("gone");
  }

  Options options_;
  Mouse mouse_;
  std::vector<Interface> interfaces_;
  Answer answer_{kStatusRefused};  // the answer to the last command
  int busy_left_ = 0;
  int answers_ = 0;
  bool quit_ = false;
  std::string pending_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: see the head of virtual_mouse.cpp\n");
    return 2;
  }
  return VirtualMouse(*options).Run();
}
