#include "support/http_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace z900::test {

LocalHttpServer::LocalHttpServer(const std::filesystem::path& folder) {
  int out_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> args = {"python3", "-u", Z900_HTTP_SERVER_SCRIPT, folder.string()};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out_pipe[1]);
  if (spawned != 0) {
    ::close(out_pipe[0]);
    throw std::runtime_error(std::string("cannot start python3: ") + std::strerror(spawned));
  }
  pid_ = pid;
  out_fd_ = out_pipe[0];
  // The server announces its port on its first line: "port N".
  const std::string line = ReadLine();
  if (!line.starts_with("port ")) throw std::runtime_error("the HTTP server did not start");
  base_url_ = "http://127.0.0.1:" + line.substr(5);
}

LocalHttpServer::~LocalHttpServer() {
  if (out_fd_ >= 0) ::close(out_fd_);
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

std::string LocalHttpServer::ReadLine() {
  std::string line;
  char c = 0;
  while (::read(out_fd_, &c, 1) == 1 && c != '\n') line.push_back(c);
  return line;
}

std::string LocalHttpServer::WaitForRequest() {
  const std::string line = ReadLine();
  return line.starts_with("GET ") ? line.substr(4) : line;
}

}  // namespace z900::test
