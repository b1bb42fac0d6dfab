#pragma once

#include <filesystem>
#include <string>

#include "platform/autostart.h"

namespace z900::platform {

// The name of the utility's logon task in the Task Scheduler's top folder.
inline constexpr wchar_t kAutostartTaskName[] = L"Z900 configuration utility";

// Starting the tray utility at login through a task of the Task Scheduler: triggered by the
// logon of the user who switched it on, run with that user's highest privileges (the utility's
// manifest asks for administrator rights, so a Run key would start nothing), without a time
// limit and on batteries too. Off removes the task.
class TaskAutostart final : public Autostart {
 public:
  // The task named `task_name` (in the top folder) that starts `program`.
  TaskAutostart(std::wstring task_name, std::filesystem::path program);

  std::optional<AutostartStatus> Read(std::string& error) override;
  std::optional<AutostartStatus> Set(bool enabled, std::string& error) override;

 private:
  std::wstring task_name_;
  std::filesystem::path program_;
};

// The task as the Task Scheduler's XML: a logon trigger for `user` (every user's logon when
// empty), run in that user's session with the highest privileges the user has, no time limit,
// on batteries too, one instance at a time, starting `program` in its own folder.
std::wstring LogonTaskXml(const std::filesystem::path& program, const std::wstring& user);

}  // namespace z900::platform
