#include "support/http_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/utf8_path.h"
#include "support/sockets.h"

namespace z900::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// The request's path with %XX escapes decoded, without its query.
std::string DecodePath(const std::string& target) {
  const std::string path = target.substr(0, target.find_first_of("?#"));
  std::string decoded;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() &&
        std::isxdigit(static_cast<unsigned char>(path[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(path[i + 2]))) {
      decoded.push_back(static_cast<char>(std::stoi(path.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      decoded.push_back(path[i]);
    }
  }
  return decoded;
}

std::string Head(int status, const char* reason, std::size_t length,
                 const std::string& extra = {}) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Length: " + std::to_string(length) + "\r\n" + extra +
         "Connection: close\r\n\r\n";
}

}  // namespace

LocalHttpServer::LocalHttpServer(const fs::path& folder) : folder_(folder) {
  int port = 0;
  listener_ = sockets::ListenOnLoopback(port);
  if (listener_ < 0) throw std::runtime_error("the test HTTP server cannot listen");
  base_url_ = "http://127.0.0.1:" + std::to_string(port);
  acceptor_ = std::thread([this] { Accept(); });
}

LocalHttpServer::~LocalHttpServer() {
  std::vector<std::thread> servers;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (const std::intptr_t connection : connections_) sockets::ShutDown(connection);
    changed_.notify_all();
  }
  sockets::ShutDown(listener_);
  sockets::Close(listener_);
  acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    servers.swap(servers_);
  }
  for (std::thread& server : servers) server.join();
}

void LocalHttpServer::Accept() {
  for (;;) {
    const std::intptr_t connection = sockets::AcceptOne(listener_);
    std::lock_guard lock(mutex_);
    if (connection < 0 || stopping_) {
      if (connection >= 0) sockets::Close(connection);
      return;
    }
    connections_.push_back(connection);
    servers_.emplace_back([this, connection] { Serve(connection); });
  }
}

bool LocalHttpServer::Pause(int ms) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

void LocalHttpServer::Serve(std::intptr_t connection) {
  std::string request;
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    char buffer[2048];
    const int got = sockets::Receive(connection, buffer, sizeof buffer);
    if (got <= 0) break;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  const std::size_t first_blank = request.find(' ');
  const std::size_t second_blank = request.find(' ', first_blank + 1);
  if (first_blank != std::string::npos && second_blank != std::string::npos) {
    const std::string target = request.substr(first_blank + 1, second_blank - first_blank - 1);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(target);
      changed_.notify_all();
    }
    std::string relative = DecodePath(target);
    while (relative.starts_with('/')) relative.erase(0, 1);
    const fs::path local = folder_ / platform::PathFromUtf8(relative);
    fs::path redirect = local;
    redirect += ".redirect";
    fs::path slow = local;
    slow += ".slow";
    if (IsFile(redirect)) {
      std::string location = ReadFile(redirect);
      while (!location.empty() && std::isspace(static_cast<unsigned char>(location.back()))) {
        location.pop_back();
      }
      sockets::SendAll(connection, Head(302, "Found", 0, "Location: " + location + "\r\n"));
    } else if (IsFile(slow)) {
      const std::string body = ReadFile(slow);
      bool sent = sockets::SendAll(connection, Head(200, "OK", body.size()));
      for (std::size_t i = 0; sent && i < body.size() && Pause(500); ++i) {
        sent = sockets::SendAll(connection, body.substr(i, 1));
      }
    } else if (IsFile(local)) {
      const std::string body = ReadFile(local);
      sockets::SendAll(connection, Head(200, "OK", body.size()) + body);
    } else {
      const std::string body = "not found\n";
      sockets::SendAll(connection, Head(404, "Not Found", body.size()) + body);
    }
  }
  std::lock_guard lock(mutex_);
  std::erase(connections_, connection);
  sockets::ShutDown(connection);
  sockets::Close(connection);
}

std::string LocalHttpServer::WaitForRequest() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !requests_.empty(); });
  std::string path = std::move(requests_.front());
  requests_.pop_front();
  return path;
}

}  // namespace z900::test
