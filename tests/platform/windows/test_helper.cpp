// A second process for the Windows tests.
//   z900_test_helper hold-lock FILE EVENT: takes the exclusive lock of FILE, sets the event
//     EVENT-locked, and keeps the lock until the event EVENT-release is set.
//   With Z900_REPORT_FILE set (also under another name, as the tools the program starts): writes
//     its arguments into that file, each followed by '|', and sets the event Z900_REPORT_EVENT.
#include <windows.h>

#include <fstream>
#include <string>
#include <system_error>

#include "platform/console.h"
#include "platform/file_io.h"
#include "platform/program_paths.h"
#include "platform/utf8_path.h"
#include "platform/windows/wide_text.h"

namespace {

using namespace z900::platform;

HANDLE OpenNamedEvent(const std::string& name) {
  return ::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, Utf8ToWide(name).c_str());
}

int Report(const std::string& file, const std::vector<std::string>& args) {
  {
    std::ofstream out(PathFromUtf8(file), std::ios::binary);
    for (const std::string& arg : args) out << arg << '|';
  }
  const HANDLE done = OpenNamedEvent(EnvironmentValue("Z900_REPORT_EVENT").value_or(""));
  if (done == nullptr) return 2;
  ::SetEvent(done);
  return 0;
}

int HoldLock(const std::string& file, const std::string& event) {
  std::error_code error;
  const auto lock = LockFile(PathFromUtf8(file), LockMode::kExclusive, true, error);
  if (!lock) return 1;
  const HANDLE locked = OpenNamedEvent(event + "-locked");
  const HANDLE release = OpenNamedEvent(event + "-release");
  if (locked == nullptr || release == nullptr) return 2;
  ::SetEvent(locked);
  ::WaitForSingleObject(release, INFINITE);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ProgramArguments(argc, argv);
  if (const auto file = EnvironmentValue("Z900_REPORT_FILE")) return Report(*file, args);
  if (args.size() == 3 && args[0] == "hold-lock") return HoldLock(args[1], args[2]);
  return args.empty() ? 0 : 2;
}
