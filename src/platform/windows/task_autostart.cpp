#include "platform/windows/task_autostart.h"

// windows.h first: the other system headers build on it.
// clang-format off
#include <windows.h>
// clang-format on

#include <oleauto.h>
#include <taskschd.h>

#include <utility>

#include "platform/utf8_path.h"
#include "platform/windows/wide_text.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;

// Holds a COM interface and releases it.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  Interface** out() { return &pointer_; }
  void** out_void() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

// A BSTR for the duration of one call.
class Bstr {
 public:
  explicit Bstr(const std::wstring& text) : text_(::SysAllocString(text.c_str())) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(text_); }
  operator BSTR() const { return text_; }

 private:
  BSTR text_;
};

// COM on this thread for the duration of one operation; a thread that has it already keeps
// its own apartment.
class ComScope {
 public:
  ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

std::string Reason(HRESULT result) {
  if (result == E_ACCESSDENIED || result == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)) {
    return "the Task Scheduler refused it: a task that starts the utility with administrator "
           "rights can only be set up from an administrator console";
  }
  return WindowsError(static_cast<std::uint32_t>(result)).message();
}

bool IsMissing(HRESULT result) {
  return result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
         result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// The account the task runs as: the user logged in now, as DOMAIN\name.
std::wstring CurrentUser() {
  wchar_t name[256];
  DWORD size = 256;
  if (!::GetUserNameW(name, &size)) return {};
  wchar_t domain[256];
  DWORD domain_size = 256;
  if (::GetEnvironmentVariableW(L"USERDOMAIN", domain, domain_size) == 0) {
    return std::wstring(name);
  }
  return std::wstring(domain) + L"\\" + name;
}

// The Task Scheduler's top folder, connected.
HRESULT TopFolder(ComPtr<ITaskService>& service, ComPtr<ITaskFolder>& folder) {
  HRESULT result = ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ITaskService, service.out_void());
  if (FAILED(result)) return result;
  VARIANT none;
  ::VariantInit(&none);
  result = service->Connect(none, none, none, none);
  if (FAILED(result)) return result;
  return service->GetFolder(Bstr(L"\\"), folder.out());
}

// Text in an XML element.
std::wstring Escaped(std::wstring_view text) {
  std::wstring out;
  for (const wchar_t c : text) {
    switch (c) {
      case L'&':
        out += L"&amp;";
        break;
      case L'<':
        out += L"&lt;";
        break;
      case L'>':
        out += L"&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// The Task Scheduler's top folder, with COM usable on this thread (`com`); false with `error`
// when either cannot be had.
bool ReachTaskScheduler(const ComScope& com, ComPtr<ITaskService>& service,
                        ComPtr<ITaskFolder>& folder, std::string& error) {
  if (!com.usable()) {
    error = "COM cannot be used on this thread";
    return false;
  }
  if (const HRESULT result = TopFolder(service, folder); FAILED(result)) {
    error = "cannot reach the Task Scheduler: " + Reason(result);
    return false;
  }
  return true;
}

}  // namespace

std::wstring LogonTaskXml(const fs::path& program, const std::wstring& user) {
  const std::wstring user_element =
      user.empty() ? std::wstring() : L"<UserId>" + Escaped(user) + L"</UserId>";
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
         L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
         L"<RegistrationInfo>"
         L"<Description>Starts the Z900 configuration utility in the tray at logon.</Description>"
         L"</RegistrationInfo>"
         L"<Triggers><LogonTrigger><Enabled>true</Enabled>" +
         user_element +
         L"</LogonTrigger></Triggers>"
         L"<Principals><Principal id=\"Author\">" +
         user_element +
         L"<LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel>"
         L"</Principal></Principals>"
         L"<Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
         L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
         L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
         L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>"
         L"<Actions Context=\"Author\"><Exec><Command>" +
         Escaped(program.native()) + L"</Command><WorkingDirectory>" +
         Escaped(program.parent_path().native()) +
         L"</WorkingDirectory></Exec></Actions>"
         L"</Task>";
}

TaskAutostart::TaskAutostart(std::wstring task_name, fs::path program)
    : task_name_(std::move(task_name)), program_(std::move(program)) {}

std::optional<AutostartStatus> TaskAutostart::Read(std::string& error) {
  ComScope com;
  ComPtr<ITaskService> service;
  ComPtr<ITaskFolder> folder;
  if (!ReachTaskScheduler(com, service, folder, error)) return std::nullopt;
  HRESULT result = S_OK;
  const std::string name = "logon task \"" + WideToUtf8(task_name_) + "\"";
  ComPtr<IRegisteredTask> task;
  result = folder->GetTask(Bstr(task_name_), task.out());
  if (IsMissing(result)) return AutostartStatus{false, "no " + name + " in the Task Scheduler"};
  if (FAILED(result)) {
    error = "cannot read the " + name + ": " + Reason(result);
    return std::nullopt;
  }
  VARIANT_BOOL enabled = VARIANT_FALSE;
  task->get_Enabled(&enabled);
  return AutostartStatus{enabled != VARIANT_FALSE, name + " of the Task Scheduler"};
}

std::optional<AutostartStatus> TaskAutostart::Set(bool enabled, std::string& error) {
  ComScope com;
  ComPtr<ITaskService> service;
  ComPtr<ITaskFolder> folder;
  if (!ReachTaskScheduler(com, service, folder, error)) return std::nullopt;
  HRESULT result = S_OK;
  if (!enabled) {
    result = folder->DeleteTask(Bstr(task_name_), 0);
    if (FAILED(result) && !IsMissing(result)) {
      error = "cannot remove the logon task: " + Reason(result);
      return std::nullopt;
    }
    return Read(error);
  }
  std::error_code missing;
  if (!fs::is_regular_file(program_, missing)) {
    error = "the tray utility is not installed (" + PathToUtf8(program_) + " does not exist)";
    return std::nullopt;
  }
  const std::wstring user = CurrentUser();
  VARIANT account;
  ::VariantInit(&account);
  VARIANT none;
  ::VariantInit(&none);
  Bstr user_text(user);
  if (!user.empty()) {
    account.vt = VT_BSTR;
    account.bstrVal = user_text;
  }
  ComPtr<IRegisteredTask> task;
  result = folder->RegisterTask(Bstr(task_name_), Bstr(LogonTaskXml(program_, user)),
                                TASK_CREATE_OR_UPDATE, account, none, TASK_LOGON_INTERACTIVE_TOKEN,
                                none, task.out());
  if (FAILED(result)) {
    error = "cannot set up the logon task: " + Reason(result);
    return std::nullopt;
  }
  return Read(error);
}

std::unique_ptr<Autostart> CreateSystemAutostart(const PathEnvironment& env) {
  return std::make_unique<TaskAutostart>(kAutostartTaskName,
                                         env.executable_folder / L"z900-config.exe");
}

}  // namespace z900::platform
