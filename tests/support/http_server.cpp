#include "support/http_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <regex>
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
  std::vector<std::string> args = {"python3", "-u",        "-m",          "http.server",  "0",
                                   "--bind",  "127.0.0.1", "--directory", folder.string()};
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
  // The server announces its port on its first line: "Serving HTTP on 127.0.0.1 port N ...".
  std::string line;
  char c = 0;
  while (::read(out_pipe[0], &c, 1) == 1 && c != '\n') line.push_back(c);
  ::close(out_pipe[0]);
  std::smatch match;
  if (!std::regex_search(line, match, std::regex("port ([0-9]+)"))) {
    throw std::runtime_error("the HTTP server did not start: " + line);
  }
  base_url_ = "http://127.0.0.1:" + match[1].str();
}

LocalHttpServer::~LocalHttpServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace z900::test
