#include "support/run_program.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/windows/command_line.h"
#include "platform/windows/wide_text.h"

namespace z900::test {
namespace {

using platform::Utf8ToWide;

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + ": " + platform::LastWindowsError().message());
}

// This process's environment with `env` added (or, for an empty value, removed), as the
// sorted block CreateProcessW takes.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& env) {
  std::map<std::wstring, std::wstring> variables;
  wchar_t* block = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::wstring text = entry;
    // Entries such as "=C:=C:\x" keep the current folder of each drive.
    const std::size_t equals = text.find(L'=', 1);
    variables[text.substr(0, equals)] =
        equals == std::wstring::npos ? L"" : text.substr(equals + 1);
  }
  ::FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : env) {
    // Names compare without regard to case.
    for (auto it = variables.begin(); it != variables.end();) {
      it = _wcsicmp(it->first.c_str(), Utf8ToWide(name).c_str()) == 0 ? variables.erase(it)
                                                                      : std::next(it);
    }
    if (!value.empty()) variables[Utf8ToWide(name)] = Utf8ToWide(value);
  }
  std::wstring result;
  for (const auto& [name, value] : variables) result += name + L"=" + value + L'\0';
  result += L'\0';
  return result;
}

// Reads a pipe to its end into `sink`, on a thread of its own.
std::thread Drain(HANDLE pipe, std::string& sink) {
  return std::thread([pipe, &sink] {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      sink.append(buffer, got);
    }
    ::CloseHandle(pipe);
  });
}

// The C runtime writes text with "\r\n"; the tests compare lines as on Linux.
std::string UnixLines(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

struct RunningProgram::SystemParts {
  HANDLE process = nullptr;
  std::thread out_reader;
  std::thread err_reader;
  std::string out;
  std::string err;
};

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& args,
                               const std::map<std::string, std::string>& env)
    : system_(std::make_unique<SystemParts>()) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out_read = nullptr;
  HANDLE out_write = nullptr;
  HANDLE err_read = nullptr;
  HANDLE err_write = nullptr;
  Check(::CreatePipe(&out_read, &out_write, &inherit, 0) &&
            ::CreatePipe(&err_read, &err_write, &inherit, 0),
        "CreatePipe");
  ::SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothing = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);

  std::vector<std::wstring> words = {Utf8ToWide(program)};
  for (const std::string& arg : args) words.push_back(Utf8ToWide(arg));
  std::wstring command = platform::JoinCommandLineArguments(words);
  std::wstring environment = EnvironmentBlock(env);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process{};
  const BOOL started =
      ::CreateProcessW(words[0].c_str(), command.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &process);
  const std::error_code error = platform::LastWindowsError();
  ::CloseHandle(out_write);
  ::CloseHandle(err_write);
  ::CloseHandle(nothing);
  if (!started) {
    ::CloseHandle(out_read);
    ::CloseHandle(err_read);
    throw std::runtime_error("cannot start " + program + ": " + error.message());
  }
  ::CloseHandle(process.hThread);
  system_->process = process.hProcess;
  pid_ = static_cast<int>(process.dwProcessId);
  system_->out_reader = Drain(out_read, system_->out);
  system_->err_reader = Drain(err_read, system_->err);
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) Wait();
}

void RunningProgram::Signal(int /*signal_number*/) {
  throw std::logic_error("signals are sent on Linux only");
}

void RunningProgram::Pump(int /*timeout_ms*/) {}

ProgramResult RunningProgram::Finish(int status) {
  pid_ = -1;
  // What it wrote before it ended is in the pipes; a program it left running keeps them open.
  if (system_->out_reader.joinable()) system_->out_reader.join();
  if (system_->err_reader.joinable()) system_->err_reader.join();
  ::CloseHandle(system_->process);
  system_->process = nullptr;
  result_.out = UnixLines(system_->out);
  result_.err = UnixLines(system_->err);
  result_.exit_code = status;
  return result_;
}

ProgramResult RunningProgram::Wait() {
  if (pid_ <= 0) return result_;
  ::WaitForSingleObject(system_->process, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(system_->process, &code);
  return Finish(static_cast<int>(code));
}

std::optional<ProgramResult> RunningProgram::WaitFor(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return result_;
  if (::WaitForSingleObject(system_->process, static_cast<DWORD>(timeout.count())) !=
      WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(system_->process, &code);
  return Finish(static_cast<int>(code));
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
  return RunningProgram(program, args, env).Wait();
}

int EndedProcessId() {
  // This program again, ended before it ran anything.
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring command = L"ended";
  if (length == 0 || length == MAX_PATH ||
      !::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start a process: " + platform::LastWindowsError().message());
  }
  ::TerminateProcess(process.hProcess, 0);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(process.dwProcessId);
}

}  // namespace z900::test
