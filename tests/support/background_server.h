#pragma once

#include <string>
#include <vector>

namespace z900::test {

// A server program run in the background for as long as the object lives (then SIGTERM), started
// without a shell with /dev/null as standard input and error. The constructor returns once the
// program has written its first line, which says that it is ready and often where it listens.
// The line is read from the descriptor whose number replaces "{ready}" in the arguments, or
// from standard output when no argument holds it. Throws when the program does not start.
class BackgroundServer {
 public:
  explicit BackgroundServer(std::vector<std::string> args);
  ~BackgroundServer();
  BackgroundServer(const BackgroundServer&) = delete;
  BackgroundServer& operator=(const BackgroundServer&) = delete;
  const std::string& first_line() const { return first_line_; }

 private:
  void Stop();

  int pid_ = -1;
  std::string first_line_;
};

}  // namespace z900::test
