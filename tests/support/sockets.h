#pragma once

#include <cstdint>
#include <string_view>

// The few socket calls of the test servers, for POSIX sockets and Winsock alike. A socket is
// a number, -1 when there is none.
namespace z900::test::sockets {

// A listening TCP socket on 127.0.0.1 at a free port, which `port` receives.
std::intptr_t ListenOnLoopback(int& port);
// The next connection, or -1 once the listener is shut down.
std::intptr_t AcceptOne(std::intptr_t listener);
// Bytes received, 0 at the end, -1 on failure.
int Receive(std::intptr_t connection, char* buffer, int size);
bool SendAll(std::intptr_t connection, std::string_view bytes);
// Ends every transfer of the socket, which wakes a thread that waits on it.
void ShutDown(std::intptr_t socket);
void Close(std::intptr_t socket);

}  // namespace z900::test::sockets
