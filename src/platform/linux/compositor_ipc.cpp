#include "platform/linux/compositor_ipc.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <vector>

namespace z900::platform {
namespace {

using Json = nlohmann::json;

constexpr char kMagic[] = "i3-ipc";
constexpr std::size_t kMagicSize = sizeof kMagic - 1;
constexpr std::size_t kHeaderSize = kMagicSize + 8;
// A tree of thousands of windows stays far below this.
constexpr std::uint32_t kMaxReply = 16u << 20;

bool SendAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool ReceiveAll(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t got = ::recv(fd, bytes, size, 0);
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// A connected Unix stream socket that gives up on a peer silent for a second; -1 on failure.
int ConnectWithTimeout(const std::string& socket_path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.empty() || socket_path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, socket_path.data(), socket_path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const timeval timeout{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The process id of a window object whose app id is `*id`, when that is `app_id`.
std::optional<std::uint32_t> ProcessOfWindow(const Json& window, const std::string* id,
                                             std::string_view app_id) {
  const auto pid = window.find("pid");
  if (id == nullptr || *id != app_id || pid == window.end() || !pid->is_number_unsigned()) {
    return std::nullopt;
  }
  const std::uint64_t value = pid->get<std::uint64_t>();
  if (value == 0 || value > 0x7FFFFFFF) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

const std::string* StringMember(const Json& node, const char* name) {
  const auto found = node.find(name);
  return found != node.end() && found->is_string() ? found->get_ptr<const std::string*>() : nullptr;
}

}  // namespace

std::optional<std::uint32_t> FocusedProcessInSwayTree(std::string_view tree_json,
                                                      std::string_view app_id) {
  const Json tree = Json::parse(tree_json, nullptr, /*allow_exceptions=*/false);
  if (tree.is_discarded()) return std::nullopt;
  // Without recursion: a hostile reply may nest deeper than the stack allows.
  std::vector<const Json*> pending = {&tree};
  while (!pending.empty()) {
    const Json& node = *pending.back();
    pending.pop_back();
    if (!node.is_object()) continue;
    const auto focused = node.find("focused");
    if (focused != node.end() && focused->is_boolean() && focused->get<bool>()) {
      const std::string* id = StringMember(node, "app_id");
      const auto properties = node.find("window_properties");
      if (id == nullptr && properties != node.end() && properties->is_object()) {
        id = StringMember(*properties, "class");
      }
      return ProcessOfWindow(node, id, app_id);
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
      const auto list = node.find(children);
      if (list == node.end() || !list->is_array()) continue;
      for (const Json& child : *list) pending.push_back(&child);
    }
  }
  return std::nullopt;
}

std::optional<std::string> SwayRequest(const std::string& socket_path, std::uint32_t type,
                                       std::string_view payload) {
  if (payload.size() > kMaxReply) return std::nullopt;
  const int fd = ConnectWithTimeout(socket_path);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> reply;
  std::array<std::uint8_t, kHeaderSize> header{};
  std::memcpy(header.data(), kMagic, kMagicSize);
  const auto length = static_cast<std::uint32_t>(payload.size());
  std::memcpy(header.data() + kMagicSize, &length, 4);  // native byte order, as sway expects
  std::memcpy(header.data() + kMagicSize + 4, &type, 4);
  if (SendAll(fd, header.data(), header.size()) && SendAll(fd, payload.data(), payload.size()) &&
      ReceiveAll(fd, header.data(), header.size()) &&
      std::memcmp(header.data(), kMagic, kMagicSize) == 0) {
    std::uint32_t size = 0;
    std::uint32_t reply_type = 0;
    std::memcpy(&size, header.data() + kMagicSize, 4);
    std::memcpy(&reply_type, header.data() + kMagicSize + 4, 4);
    if (reply_type == type && size <= kMaxReply) {
      std::string answer(size, '\0');
      if (ReceiveAll(fd, answer.data(), answer.size())) reply = std::move(answer);
    }
  }
  ::close(fd);
  return reply;
}

std::optional<std::uint32_t> ActiveProcessInHyprlandReply(std::string_view reply_json,
                                                          std::string_view app_id) {
  const Json window = Json::parse(reply_json, nullptr, /*allow_exceptions=*/false);
  if (!window.is_object()) return std::nullopt;
  return ProcessOfWindow(window, StringMember(window, "class"), app_id);
}

std::string HyprlandSocketPath(const std::string& signature) {
  // The signature names a folder; anything that could leave the hypr folder is refused.
  if (signature.empty() || signature.find('/') != std::string::npos || signature == "." ||
      signature == "..") {
    return {};
  }
  std::vector<std::filesystem::path> candidates;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
    candidates.emplace_back(std::filesystem::path(runtime) / "hypr" / signature / ".socket.sock");
  }
  candidates.emplace_back(std::filesystem::path("/tmp/hypr") / signature / ".socket.sock");
  for (const std::filesystem::path& candidate : candidates) {
    std::error_code error;
    if (std::filesystem::is_socket(candidate, error)) return candidate.string();
  }
  return {};
}

std::optional<std::string> HyprlandRequest(const std::string& socket_path,
                                           std::string_view request) {
  const int fd = ConnectWithTimeout(socket_path);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> reply;
  if (SendAll(fd, request.data(), request.size())) {
    std::string answer;
    char buffer[4096];
    ssize_t got = 0;
    while (answer.size() <= kMaxReply && (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
      answer.append(buffer, static_cast<std::size_t>(got));
    }
    if (got == 0 && answer.size() <= kMaxReply) reply = std::move(answer);
  }
  ::close(fd);
  return reply;
}

}  // namespace z900::platform
