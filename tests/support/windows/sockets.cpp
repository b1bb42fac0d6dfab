#include "support/sockets.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace z900::test::sockets {
namespace {

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  });
}

SOCKET Native(std::intptr_t socket) { return static_cast<SOCKET>(socket); }

}  // namespace

std::intptr_t ListenOnLoopback(int& port) {
  StartWinsock();
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(listener);
    return -1;
  }
  port = ntohs(address.sin_port);
  return static_cast<std::intptr_t>(listener);
}

std::intptr_t AcceptOne(std::intptr_t listener) {
  const SOCKET connection = ::accept(Native(listener), nullptr, nullptr);
  return connection == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(connection);
}

int Receive(std::intptr_t connection, char* buffer, int size) {
  const int got = ::recv(Native(connection), buffer, size, 0);
  return got == SOCKET_ERROR ? -1 : got;
}

bool SendAll(std::intptr_t connection, std::string_view bytes) {
  while (!bytes.empty()) {
    const int sent = ::send(Native(connection), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent == SOCKET_ERROR || sent == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void ShutDown(std::intptr_t socket) { ::shutdown(Native(socket), SD_BOTH); }

void Close(std::intptr_t socket) { ::closesocket(Native(socket)); }

}  // namespace z900::test::sockets
