#include "support/status_notifier_host.h"

#include <systemd/sd-bus.h>

#include <stdexcept>

namespace z900::test {
namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";
constexpr char kNotificationsName[] = "org.freedesktop.Notifications";
constexpr char kNotificationsPath[] = "/org/freedesktop/Notifications";
constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";

}  // namespace

// The handlers of the bus objects, with the host they report to.
struct StatusNotifierHost::Calls {
  static int RegisterItem(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* host = static_cast<StatusNotifierHost*>(data);
    const char* service = nullptr;
    if (sd_bus_message_read(message, "s", &service) < 0) return -EINVAL;
    // An item may give its bus name or its object path; the sender is the item either way.
    std::string item = service;
    if (item.empty() || item.front() == '/') item = sd_bus_message_get_sender(message);
    {
      std::lock_guard lock(host->mutex_);
      host->items_.push_back(item);
    }
    host->changed_.notify_all();
    return sd_bus_reply_method_return(message, "");
  }
  static int RegisterHost(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "");
  }
  static int HostRegistered(sd_bus*, const char*, const char*, const char*,
                            sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
  }
  static int ProtocolVersion(sd_bus*, const char*, const char*, const char*,
                             sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "i", 0);
  }
  static int Items(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                   void* data, sd_bus_error*) {
    auto* host = static_cast<StatusNotifierHost*>(data);
    std::lock_guard lock(host->mutex_);
    int result = sd_bus_message_open_container(reply, 'a', "s");
    for (const std::string& item : host->items_) {
      if (result >= 0) result = sd_bus_message_append(reply, "s", item.c_str());
    }
    return result < 0 ? result : sd_bus_message_close_container(reply);
  }
  static int Notify(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* host = static_cast<StatusNotifierHost*>(data);
    const char* application = nullptr;
    std::uint32_t replaces = 0;
    const char* icon = nullptr;
    const char* summary = nullptr;
    if (sd_bus_message_read(message, "suss", &application, &replaces, &icon, &summary) < 0) {
      return -EINVAL;
    }
    {
      std::lock_guard lock(host->mutex_);
      host->notifications_.emplace_back(summary);
    }
    host->changed_.notify_all();
    return sd_bus_reply_method_return(message, "u", 1u);
  }
  static int Capabilities(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "as", 1, "body");
  }
  static int ServerInformation(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "ssss", "stand-in", "z900", "1", "1.2");
  }
  static int Answered(sd_bus_message*, void* data, sd_bus_error*) {
    auto* host = static_cast<StatusNotifierHost*>(data);
    {
      std::lock_guard lock(host->mutex_);
      host->notified_before_answer_ = !host->notifications_.empty();
    }
    host->changed_.notify_all();
    return 0;
  }
};

StatusNotifierHost::StatusNotifierHost() {
  peer_.Do([this](sd_bus* bus) {
    static const sd_bus_vtable kWatcher[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", &Calls::RegisterItem, 0),
        SD_BUS_METHOD("RegisterStatusNotifierHost", "s", "", &Calls::RegisterHost, 0),
        SD_BUS_PROPERTY("IsStatusNotifierHostRegistered", "b", &Calls::HostRegistered, 0, 0),
        SD_BUS_PROPERTY("ProtocolVersion", "i", &Calls::ProtocolVersion, 0, 0),
        SD_BUS_PROPERTY("RegisteredStatusNotifierItems", "as", &Calls::Items, 0, 0),
        SD_BUS_SIGNAL("StatusNotifierItemRegistered", "s", 0),
        SD_BUS_SIGNAL("StatusNotifierItemUnregistered", "s", 0),
        SD_BUS_SIGNAL("StatusNotifierHostRegistered", "", 0),
        SD_BUS_VTABLE_END};
    static const sd_bus_vtable kNotifications[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", &Calls::Notify, 0),
        SD_BUS_METHOD("GetCapabilities", "", "as", &Calls::Capabilities, 0),
        SD_BUS_METHOD("GetServerInformation", "", "ssss", &Calls::ServerInformation, 0),
        SD_BUS_VTABLE_END};
    if (sd_bus_add_object_vtable(bus, nullptr, kWatcherPath, kWatcherName, kWatcher, this) < 0 ||
        sd_bus_add_object_vtable(bus, nullptr, kNotificationsPath, kNotificationsName,
                                 kNotifications, this) < 0 ||
        sd_bus_request_name(bus, kWatcherName, 0) < 0 ||
        sd_bus_request_name(bus, kNotificationsName, 0) < 0) {
      throw std::runtime_error("cannot play the StatusNotifier host");
    }
  });
}

std::optional<std::string> StatusNotifierHost::WaitForItem(std::chrono::milliseconds patience) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, patience, [this] { return !items_.empty(); })) return std::nullopt;
  return items_.front();
}

bool StatusNotifierHost::CallItem(const std::string& item, const char* method, int x, int y) {
  bool done = false;
  peer_.Do([&](sd_bus* bus) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    done = sd_bus_call_method(bus, item.c_str(), kItemPath, kItemInterface, method, &error,
                              nullptr, "ii", x, y) >= 0;
    sd_bus_error_free(&error);
  });
  return done;
}

bool StatusNotifierHost::NotifiedBeforeAnAnswerOfTheItem(const std::string& item) {
  {
    std::lock_guard lock(mutex_);
    notified_before_answer_.reset();
  }
  peer_.Do([&](sd_bus* bus) {
    // Asked without waiting here: the peer's loop takes what arrives in order, so a notification
    // sent before the answer is handled before it.
    sd_bus_call_method_async(bus, nullptr, item.c_str(), kItemPath,
                             "org.freedesktop.DBus.Properties", "Get", &Calls::Answered, this,
                             "ss", kItemInterface, "Status");
  });
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::seconds(30),
                    [this] { return notified_before_answer_.has_value(); });
  return notified_before_answer_.value_or(false);
}

std::vector<std::string> StatusNotifierHost::notifications() {
  std::lock_guard lock(mutex_);
  return notifications_;
}

}  // namespace z900::test
