#pragma once

#include <string>
#include <vector>

namespace z900::test {

// A server program run in the background for as long as the object lives (then SIGTERM), started
// without a shell with /dev/null as its standard streams. The constructor returns once the
// program has written its first line, which says that it is ready and where it listens, to the
// descriptor whose number replaces "{ready}" in its arguments. Throws when it does not start.
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
