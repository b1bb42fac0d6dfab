// Whether the window keeps running while the settings page writes into the mouse: an apply
// with a macro of about 4 KB (the largest the mouse takes, some twenty seconds of device
// traffic) on the real clock against the simulated mouse, while a 10 ms timer ticks on the ui
// thread. The figure of merit is the longest gap between two ticks during the write; the goal
// is under 50 ms. Run by hand: build/default/bench/page_write_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "config/profiles.h"
#include "device/hid_channel.h"
#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/clock.h"
#include "platform/key_store.h"
#include "sim/simulated_mouse.h"
#include "ui/device_worker.h"
#include "ui/qt_ui_port.h"
#include "ui/set_dlg.h"

namespace {

namespace fs = std::filesystem;
using namespace z900;

class NoLayout final : public platform::KeyboardLayout {
 public:
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t) const override { return std::nullopt; }
};

class NoForeground final : public platform::ForegroundApp {
 public:
  std::u16string ForegroundProgramName() override { return platform::kUnknownProgram; }
  platform::ForegroundStatus BackendStatus() override { return {}; }
  bool IsEventDriven() override { return false; }
};

// The page of one program run against a simulated mouse on the real clock, in a folder of its
// own, with a 4 KB macro on button 2 of mode 0.
class PageRig {
 public:
  PageRig()
      : mouse_(platform::SystemClock()),
        backend_(mouse_),
        channel_(backend_, platform::SystemClock()) {
    char pattern[] = "/tmp/z900-page-bench-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    platform::PathEnvironment env;
    env.z900_home = folder_;
    context_.paths = platform::ResolveProgramPaths(env);
    store_ = platform::CreateSystemKeyStore(context_.paths.registry_root);
    user_ = std::make_unique<ui::QtUiPort>(context_);
    ports_ = std::make_unique<config::ConfigPorts>(
        config::ConfigPorts{channel_, *store_, *user_, files_});
    page_ = std::make_unique<ui::CSetDlg>(context_,
                                          ui::SetDlgPorts{*ports_, layout_, foreground_, worker_});
    page_->Initialise();
    AddMacro();
  }
  ~PageRig() {
    page_.reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  ui::CSetDlg& page() { return *page_; }
  ui::DeviceWorker& worker() { return worker_; }

 private:
  // 680 presses and releases: 1360 key events, a block of 4 + 3 × 1360 = 4084 bytes.
  void AddMacro() {
    std::vector<macro::MacroRow> rows;
    for (int i = 0; i < 680; ++i) {
      const auto key = 'A' + static_cast<std::uint32_t>(i % 26);
      rows.push_back(macro::KeyRow(macro::kRowKeyDown, key));
      rows.push_back(macro::DelayRow(20));
      rows.push_back(macro::KeyRow(macro::kRowKeyUp, key));
      rows.push_back(macro::DelayRow(20));
    }
    macro::SaveMacro(*store_, macro::BuildMacroRecord(rows, 0x400, u"bench", u"1").record);
    config::ButtonOf(context_.settings, 0, 2).function_type = config::kTypeMacro;
    config::MacroIdOf(context_.profiles.entries[0], 0, 2) = 0x400;
  }

  sim::SimulatedMouse mouse_;
  sim::SimHidBackend backend_;
  device::HidChannel channel_;
  fs::path folder_;
  config::AppContext context_;
  std::unique_ptr<platform::KeyStore> store_;
  std::unique_ptr<ui::QtUiPort> user_;
  config::ProfileFiles files_;
  std::unique_ptr<config::ConfigPorts> ports_;
  NoLayout layout_;
  NoForeground foreground_;
  ui::DeviceWorker worker_;
  std::unique_ptr<ui::CSetDlg> page_;
};

void BM_UiTicksDuringApply(benchmark::State& state) {
  PageRig rig;
  double longest_gap_ms = 0;
  double write_ms = 0;
  std::int64_t ticks = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    qint64 last_tick_ns = -1;
    QTimer ticker;
    ticker.setInterval(10);
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      if (last_tick_ns >= 0) {
        longest_gap_ms = std::max(longest_gap_ms, static_cast<double>(now - last_tick_ns) / 1e6);
      }
      last_tick_ns = now;
      ++ticks;
    });
    QEventLoop loop;
    QObject::connect(&rig.page(), &ui::CSetDlg::WriteFinished, &loop, &QEventLoop::quit);
    clock.start();
    ticker.start();
    rig.page().apply_button()->click();
    loop.exec();
    write_ms += static_cast<double>(clock.nsecsElapsed()) / 1e6;
    ticker.stop();
  }
  state.counters["longest_gap_ms"] = longest_gap_ms;
  state.counters["write_ms"] = write_ms / static_cast<double>(state.iterations());
  state.counters["ticks"] = static_cast<double>(ticks);
}
BENCHMARK(BM_UiTicksDuringApply)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
