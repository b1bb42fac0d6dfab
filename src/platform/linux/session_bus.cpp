#include "platform/linux/session_bus.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

namespace z900::platform {
namespace {

constexpr std::uint64_t kCallTimeoutUs = 5'000'000;

}  // namespace

BusPtr OpenSessionBus(std::string& why) {
  sd_bus* bus = nullptr;
  const int result = sd_bus_open_user(&bus);
  if (result < 0) {
    why = std::string("cannot reach the D-Bus session bus: ") + std::strerror(-result);
    return nullptr;
  }
  sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
  return BusPtr(bus);
}

std::optional<std::string> BusNameOwner(sd_bus* bus, const char* name) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  std::optional<std::string> owner;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "GetNameOwner", &error, &reply, "s", name) >= 0) {
    const char* unique = nullptr;
    if (sd_bus_message_read(reply, "s", &unique) >= 0 && unique != nullptr) owner = unique;
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return owner;
}

std::optional<std::uint32_t> BusPeerProcess(sd_bus* bus, const std::string& unique) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  std::optional<std::uint32_t> pid;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "GetConnectionUnixProcessID", &error, &reply, "s",
                         unique.c_str()) >= 0) {
    std::uint32_t value = 0;
    if (sd_bus_message_read(reply, "u", &value) >= 0 && value != 0) pid = value;
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return pid;
}

bool IsTrustedBusPeer(sd_bus* bus, const char* name, const std::string& unique,
                      const TrustedBusPeer& trusted, std::string& why) {
  const std::optional<std::uint32_t> pid = BusPeerProcess(bus, unique);
  std::string holder;
  if (pid && RunsTrustedProgram(*pid, trusted, holder)) return true;
  if (!pid) holder = "a connection whose process the bus does not tell (" + unique + ")";
  why = std::string(name) + " is held by " + holder + ", not by " + trusted.desktop +
        "; what it says is ignored";
  return false;
}

int WatchBusName(sd_bus* bus, const char* name, sd_bus_message_handler_t handler, void* data) {
  const std::string rule =
      "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
      "member='NameOwnerChanged',arg0='" +
      std::string(name) + "'";
  return sd_bus_add_match(bus, nullptr, rule.c_str(), handler, data);
}

std::optional<std::string> NewOwnerOf(sd_bus_message* message) {
  const char* name = nullptr;
  const char* old_owner = nullptr;
  const char* new_owner = nullptr;
  if (sd_bus_message_read(message, "sss", &name, &old_owner, &new_owner) < 0 ||
      new_owner == nullptr) {
    return std::nullopt;
  }
  return std::string(new_owner);
}

bool RunBusLoop(sd_bus* bus, const EventThread& thread, BusDeadline& deadline,
                const std::function<void()>& on_deadline) {
  for (;;) {
    int processed = 0;
    while ((processed = sd_bus_process(bus, nullptr)) > 0) {
    }
    if (processed < 0) return false;
    if (deadline && std::chrono::steady_clock::now() >= *deadline) {
      deadline.reset();
      on_deadline();
      continue;
    }
    std::uint64_t bus_timeout_us = UINT64_MAX;
    sd_bus_get_timeout(bus, &bus_timeout_us);
    int timeout_ms = -1;
    if (bus_timeout_us != UINT64_MAX) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const std::uint64_t now_us = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
                                   static_cast<std::uint64_t>(now.tv_nsec) / 1000;
      timeout_ms =
          bus_timeout_us > now_us ? static_cast<int>((bus_timeout_us - now_us) / 1000 + 1) : 0;
    }
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          *deadline - std::chrono::steady_clock::now());
      const int left_ms = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
      timeout_ms = timeout_ms < 0 ? left_ms : std::min(timeout_ms, left_ms);
    }
    const int events = sd_bus_get_events(bus);
    if (events < 0) return false;
    pollfd entries[] = {{sd_bus_get_fd(bus), static_cast<short>(events), 0}, thread.StopEntry()};
    if (::poll(entries, 2, timeout_ms) < 0 && errno != EINTR) return false;
    if (entries[1].revents != 0) return true;
  }
}

std::string BusErrorText(const sd_bus_error& error, int result) {
  if (error.message != nullptr) return error.message;
  if (error.name != nullptr) return error.name;
  return std::strerror(-result);
}

void BusForegroundApp::Start() {
  if (!thread_.Start([this] { Run(); })) {
    PublishStatus(ForegroundProblem::kNoSessionBus, "cannot start the D-Bus thread");
  }
}

void BusForegroundApp::Run() {
  std::string why;
  const BusPtr bus = OpenSessionBus(why);
  if (!bus) return PublishStatus(ForegroundProblem::kNoSessionBus, why);
  bus_ = bus.get();
  if (Attach()) {
    if (RunBusLoop(bus_, thread_, deadline_, [this] { DeadlinePassed(); })) {
      Detach();
    } else {
      PublishProgram(kUnknownProgram);
      PublishStatus(ForegroundProblem::kConnectionLost, "the session bus closed the connection");
    }
  }
  bus_ = nullptr;
}

}  // namespace z900::platform
