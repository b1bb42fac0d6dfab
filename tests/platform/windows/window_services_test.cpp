// The Windows pieces the window program uses: the keyboard hook, the device notifications, the
// mark of the running instance and the name of its local socket.
#include <windows.h>
// After windows.h.
#include <dbt.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_monitor.h"
#include "platform/foreground_app.h"
#include "platform/file_io.h"
#include "platform/instance_lock.h"
#include "platform/keyboard_hook.h"
#include "platform/virtual_key.h"

namespace z900::platform {
namespace {

// The ui thread of the tests: tasks posted from any thread, run when the test says so.
class TaskQueue {
 public:
  UiTaskPoster Poster() {
    return [this](std::function<void()> task) {
      const std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    };
  }
  // Runs what was posted until `done` holds, pumping this thread's messages meanwhile; false
  // when it did not within about five seconds.
  bool RunUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
      std::deque<std::function<void()>> tasks;
      {
        const std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
      }
      for (auto& task : tasks) task();
      if (tasks.empty()) ::Sleep(10);
    }
    return done();
  }
  // Runs what was posted up to now, and this thread's messages.
  void RunPending() {
    RunUntil([this] {
      const std::lock_guard lock(mutex_);
      return tasks_.empty();
    });
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
};

struct Key {
  std::uint32_t virtual_key;
  std::uint32_t flags;
  friend bool operator==(const Key&, const Key&) = default;
};

class RecordingReceiver final : public KeyReceiver {
 public:
  void OnHookKey(std::uint32_t virtual_key, std::uint32_t flags) override {
    keys.push_back({virtual_key, flags});
  }
  std::vector<Key> keys;
};

void Type(WORD virtual_key, bool release) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtual_key;
  input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
  ::SendInput(1, &input, sizeof input);
}

TEST(WindowsKeyboardHookTest, ForwardsKeysAsTheyComeOnlyWhileForwarding) {
  TaskQueue ui;
  std::string why;
  std::unique_ptr<KeyboardHook> hook = CreateSystemKeyboardHook(ui.Poster(), why);
  ASSERT_NE(hook, nullptr) << why;
  RecordingReceiver receiver;
  hook->SetReceiveWindow(&receiver);

  Type('Q', false);  // not forwarded yet
  Type('Q', true);
  hook->SetHookStatus(true);
  Type(VK_F7, false);
  Type(VK_F7, true);
  ASSERT_TRUE(ui.RunUntil([&] { return receiver.keys.size() >= 2; }));
  EXPECT_EQ(receiver.keys, (std::vector<Key>{{kVkF1 + 6, 0}, {kVkF1 + 6, kKeyReleasedFlag}}));

  // Keys already on their way when the receiver goes reach nobody.
  Type(VK_F8, false);
  hook->SetReceiveWindow(nullptr);
  hook->RemoveHook();
  ui.RunPending();
  EXPECT_EQ(receiver.keys.size(), 2u);
}

// A device interface broadcast as Windows sends it: the header and the name after it.
std::vector<std::uint8_t> Broadcast(std::wstring_view name, std::size_t cut = 0) {
  std::vector<std::uint8_t> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                  (name.size() + 1) * sizeof(wchar_t));
  auto* device = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  device->dbcc_size = static_cast<DWORD>(bytes.size() - cut);
  device->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::copy(name.begin(), name.end(), device->dbcc_name);
  return bytes;
}

TEST(WindowsDeviceMonitorTest, TellsOfTheMousesArrivalAndRemovalOnly) {
  TaskQueue ui;
  std::unique_ptr<DeviceMonitor> monitor = CreateSystemDeviceMonitor(ui.Poster());
  std::vector<DeviceChange> changes;
  ASSERT_TRUE(monitor->Start([&](DeviceChange change) { changes.push_back(change); }));
  const HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr, L"Z900DeviceMonitor", nullptr);
  ASSERT_NE(window, nullptr);

  const auto send = [&](WPARAM event, std::vector<std::uint8_t> broadcast) {
    ::SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(broadcast.data()));
  };
  const std::wstring mouse = L"\\\\?\\USB#VID_5E1D&PID_0E37#1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  send(DBT_DEVICEARRIVAL, Broadcast(L"\\\\?\\USB#VID_046D&PID_C52B#1#{a5dcbf10}"));
  // A broadcast that ends before the name's vendor and product is no word of the mouse.
  send(DBT_DEVICEARRIVAL, Broadcast(mouse, (mouse.size() - 12) * sizeof(wchar_t)));
  send(DBT_DEVICEARRIVAL, Broadcast(mouse));
  send(DBT_DEVICEQUERYREMOVE, Broadcast(mouse));
  send(DBT_DEVICEREMOVECOMPLETE, Broadcast(mouse));
  ASSERT_TRUE(ui.RunUntil([&] { return changes.size() >= 2; }));
  EXPECT_EQ(changes, (std::vector<DeviceChange>{DeviceChange::kArrival, DeviceChange::kRemoval}));

  // After the monitor went, nothing is told.
  send(DBT_DEVICEARRIVAL, Broadcast(mouse));
  monitor.reset();
  ui.RunPending();
  EXPECT_EQ(changes.size(), 2u);
}

TEST(WindowsForegroundAppTest, AnnouncesTheExecutableOfEachNewForegroundWindow) {
  TaskQueue ui;
  int changes = 0;
  const UiTaskPoster post = ui.Poster();
  std::unique_ptr<ForegroundApp> foreground = CreateSystemForegroundApp([&] {
    post([&] { ++changes; });
  });
  ASSERT_TRUE(ui.RunUntil([&] { return foreground->BackendStatus().SeesForeground(); }))
      << DescribeForegroundStatus(foreground->BackendStatus());
  EXPECT_TRUE(foreground->IsEventDriven());
  // Wine (8.0) makes windows foreground without telling the event hooks.
  if (::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
    GTEST_SKIP() << "real Windows only: Wine sends no foreground window events";
  }

  const HWND window = ::CreateWindowExW(0, L"STATIC", L"z900 foreground test", WS_OVERLAPPEDWINDOW,
                                        0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  // A click on it brings it to the foreground, as the user would.
  ::SetCursorPos(100, 50);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, click, sizeof(INPUT));
  ::SetForegroundWindow(window);
  const bool announced = ui.RunUntil([&] {
    return changes > 0 && foreground->ForegroundProgramName() == u"platform_tests.exe";
  });
  ::DestroyWindow(window);
  const std::u16string name = foreground->ForegroundProgramName();
  EXPECT_TRUE(announced) << std::string(name.begin(), name.end());
}

TEST(WindowsRunningInstanceTest, TheNamedMutexTellsThatTheUtilityRuns) {
  MarkRunningInstance();
  MarkRunningInstance();  // once is enough; again changes nothing
  const HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Z900Config");
  ASSERT_NE(mutex, nullptr);
  ::CloseHandle(mutex);
}

TEST(WindowsRunningInstanceTest, EachInstanceFolderHasASocketNameOfItsOwn) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / L"Zoë 日本";
  const LocalSocketPath one(folder, "Z900Config");
  const LocalSocketPath same(std::filesystem::path(folder.wstring() + L"\\"), "Z900Config");
  const LocalSocketPath other(folder / L"other", "Z900Config");
  EXPECT_EQ(one.path().rfind("Z900Config-", 0), 0u) << one.path();
  EXPECT_EQ(one.path(), same.path());
  EXPECT_NE(one.path(), other.path());
  EXPECT_EQ(one.path().find_first_of("\\/:"), std::string::npos) << one.path();
}

}  // namespace
}  // namespace z900::platform
