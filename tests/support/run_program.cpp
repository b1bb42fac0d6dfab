#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace z900::test {
namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// The argument and environment vectors of a child: this process's environment with `env` added
// (or, for an empty value, removed).
class ChildVectors {
 public:
  ChildVectors(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env) {
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      if (!env.contains(text.substr(0, text.find('=')))) variables_.push_back(text);
    }
    for (const auto& [name, value] : env) {
      if (!value.empty()) variables_.push_back(name + "=" + value);
    }
    arguments_ = {program};
    arguments_.insert(arguments_.end(), args.begin(), args.end());
    for (std::string& variable : variables_) envp_.push_back(variable.data());
    envp_.push_back(nullptr);
    for (std::string& arg : arguments_) argv_.push_back(arg.data());
    argv_.push_back(nullptr);
  }
  char** argv() { return argv_.data(); }
  char** envp() { return envp_.data(); }

 private:
  std::vector<std::string> variables_;
  std::vector<std::string> arguments_;
  std::vector<char*> envp_;
  std::vector<char*> argv_;
};

}  // namespace

struct RunningProgram::SystemParts {};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env, int fd3) {
  ChildVectors vectors(program, args, env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  if (fd3 >= 0) posix_spawn_file_actions_adddup2(&actions, fd3, 3);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, vectors.argv(), vectors.envp());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    errno = spawned;
    Check(false, ("cannot start " + program).c_str());
  }
  pid_ = pid;
}

ChildProcess::~ChildProcess() {
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

int EndedProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  Check(child > 0, "cannot fork");
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return child;
}

std::optional<std::string> ReadLineWithin(int fd, int timeout_ms) {
  std::string line;
  for (;;) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, timeout_ms) <= 0) return std::nullopt;
    char c = 0;
    if (::read(fd, &c, 1) != 1) return std::nullopt;
    if (c == '\n') return line;
    line.push_back(c);
  }
}

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::map<std::string, std::string>& env) {
  ChildVectors vectors(program, args, env);

  int out_pipe[2];
  int err_pipe[2];
  Check(::pipe2(out_pipe, O_CLOEXEC) == 0 && ::pipe2(err_pipe, O_CLOEXEC) == 0, "pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
  pid_t pid = 0;
  const int spawned =
      ::posix_spawn(&pid, program.c_str(), &actions, nullptr, vectors.argv(), vectors.envp());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
  if (spawned != 0) {
    errno = spawned;
    Check(false, "posix_spawn");
  }
  pid_ = pid;
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) Wait();
  if (out_fd_ >= 0) ::close(out_fd_);
  if (err_fd_ >= 0) ::close(err_fd_);
}

void RunningProgram::Signal(int signal_number) {
  if (pid_ > 0) ::kill(pid_, signal_number);
}

void RunningProgram::Pump(int timeout_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  std::string* sinks[2] = {&result_.out, &result_.err};
  if (::poll(fds, 2, timeout_ms) <= 0) return;
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || fds[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
    if (got > 0) {
      sinks[i]->append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      ::close(fds[i].fd);
      (i == 0 ? out_fd_ : err_fd_) = -1;
    }
  }
}

ProgramResult RunningProgram::Finish(int status) {
  pid_ = -1;
  for (int* fd : {&out_fd_, &err_fd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  result_.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result_;
}

ProgramResult RunningProgram::Wait() {
  if (pid_ <= 0) return result_;
  while (out_fd_ >= 0 || err_fd_ >= 0) Pump(-1);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  return Finish(status);
}

std::optional<ProgramResult> RunningProgram::WaitFor(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return result_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      // What it wrote before it ended is in the pipes; whatever it left running keeps them.
      for (int i = 0; i < 8 && (out_fd_ >= 0 || err_fd_ >= 0); ++i) Pump(0);
      return Finish(status);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    if (out_fd_ >= 0 || err_fd_ >= 0) {
      Pump(static_cast<int>(std::min<std::int64_t>(left.count(), 20)));
    } else {
      ::poll(nullptr, 0, static_cast<int>(std::min<std::int64_t>(left.count(), 20)));
    }
  }
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
  return RunningProgram(program, args, env).Wait();
}

std::string AsanOptionsForXcb() {
  std::string options = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
  const std::string strict = "strict_string_checks=1";
  if (const std::size_t at = options.find(strict); at != std::string::npos) {
    options.replace(at, strict.size(), "strict_string_checks=0");
  }
  return options.empty() ? "strict_string_checks=0" : options;
}

}  // namespace z900::test
