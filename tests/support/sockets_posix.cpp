#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/sockets.h"

namespace z900::test::sockets {

std::intptr_t ListenOnLoopback(int& port) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener);
    return -1;
  }
  port = ntohs(address.sin_port);
  return listener;
}

std::intptr_t AcceptOne(std::intptr_t listener) {
  for (;;) {
    const int connection = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (connection >= 0 || errno != EINTR) return connection;
  }
}

int Receive(std::intptr_t connection, char* buffer, int size) {
  for (;;) {
    const ssize_t got = ::recv(static_cast<int>(connection), buffer, static_cast<size_t>(size), 0);
    if (got >= 0 || errno != EINTR) return static_cast<int>(got);
  }
}

bool SendAll(std::intptr_t connection, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent =
        ::send(static_cast<int>(connection), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void ShutDown(std::intptr_t socket) { ::shutdown(static_cast<int>(socket), SHUT_RDWR); }

void Close(std::intptr_t socket) { ::close(static_cast<int>(socket)); }

}  // namespace z900::test::sockets
