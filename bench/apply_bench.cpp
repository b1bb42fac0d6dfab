// Writing a profile into the simulated mouse on the real clock, without macros and with one
// macro of about 500 bytes. The protocol mandates its waits (initial waits and acknowledgement
// polls); the same apply on a virtual clock adds exactly those up. The figure of merit is the
// ratio of the wall time to that sum: everything above 1 is our own overhead.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "config/apply_to_mouse.h"
#include "config/profiles.h"
#include "device/hid_channel.h"
#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/clock.h"
#include "platform/key_store.h"
#include "platform/virtual_clock.h"
#include "sim/simulated_mouse.h"

namespace {

namespace fs = std::filesystem;
using namespace z900;

// Nobody watches: every notice is taken as read.
class SilentUi final : public platform::UiPort {
 public:
  int ShowMessage(const std::u16string&, bool) override { return 1; }
  void ShowStandardBox(const std::u16string&, const std::u16string&) override {}
  void OpenProgress() override {}
  void SetProgress(int) override {}
  void CloseProgress() override {}
  void RefreshPage() override {}
  std::optional<fs::path> ChooseFile(platform::FileChoice) override { return std::nullopt; }
  std::optional<fs::path> ChooseFolder() override { return std::nullopt; }
  bool HideMainWindow() override { return false; }
  void ShowMainWindow() override {}
  void CloseAssignmentMenu() override {}
  void ShutDown() override {}
  bool ShowAboutBox() override { return false; }
};

// One program run against a simulated mouse: its own folder, key store and profile 1 loaded.
class Rig {
 public:
  Rig(platform::Clock& clock, bool with_macro)
      : clock_(clock), mouse_(clock), backend_(mouse_), channel_(backend_, clock) {
    char pattern[] = "/tmp/z900-apply-bench-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    platform::PathEnvironment env;
    env.z900_home = folder_;
    context_.paths = platform::ResolveProgramPaths(env);
    store_ = platform::CreateSystemKeyStore(context_.paths.registry_root);
    ports_ =
        std::make_unique<config::ConfigPorts>(config::ConfigPorts{channel_, *store_, ui_, files_});
    channel_.OpenDevice(page_.mouse_handle);
    config::LoadProfiles(context_, page_, *ports_);
    if (with_macro) AddMacro();
  }
  ~Rig() {
    channel_.CloseDevice(page_.mouse_handle);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  config::ApplyReport Apply() { return config::ApplyToMouse(context_, page_, *ports_, false); }

 private:
  // 83 presses and releases with pauses: a block of 4 + 3 × 166 = 502 bytes on button 2.
  void AddMacro() {
    std::vector<macro::MacroRow> rows;
    for (int i = 0; i < 83; ++i) {
      rows.push_back(macro::KeyRow(macro::kRowKeyDown, 'A' + static_cast<std::uint32_t>(i % 26)));
      rows.push_back(macro::DelayRow(30));
      rows.push_back(macro::KeyRow(macro::kRowKeyUp, 'A' + static_cast<std::uint32_t>(i % 26)));
      rows.push_back(macro::DelayRow(30));
    }
    macro::SaveMacro(*store_, macro::BuildMacroRecord(rows, 0x500, u"bench", u"1").record);
    config::ButtonOf(context_.settings, 0, 2).function_type = config::kTypeMacro;
    config::MacroIdOf(context_.profiles.entries[0], 0, 2) = 0x500;
  }

  platform::Clock& clock_;
  sim::SimulatedMouse mouse_;
  sim::SimHidBackend backend_;
  device::HidChannel channel_;
  fs::path folder_;
  config::AppContext context_;
  config::SettingsPageModel page_;
  std::unique_ptr<platform::KeyStore> store_;
  SilentUi ui_;
  config::ProfileFiles files_;
  std::unique_ptr<config::ConfigPorts> ports_;
};

// The waits the protocol mandates for one apply: its time on a virtual clock.
std::uint64_t MandatedWaitMs(bool with_macro) {
  platform::VirtualClock clock;
  Rig rig(clock, with_macro);
  return rig.Apply().elapsed_ms;
}

void BM_Apply(benchmark::State& state) {
  const bool with_macro = state.range(0) != 0;
  const std::uint64_t mandated_ms = MandatedWaitMs(with_macro);
  Rig rig(platform::SystemClock(), with_macro);
  double wall_ms = 0;
  std::size_t macro_bytes = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const config::ApplyReport report = rig.Apply();
    wall_ms +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    macro_bytes = report.macro_bytes;
    if (report.FailedCommands() != 0 || report.save != config::SaveOutcome::kSaved) {
      state.SkipWithError("the apply did not complete");
      return;
    }
  }
  const double per_apply_ms = wall_ms / static_cast<double>(state.iterations());
  state.counters["mandated_ms"] = static_cast<double>(mandated_ms);
  state.counters["wall_ms"] = per_apply_ms;
  state.counters["ratio"] = per_apply_ms / static_cast<double>(mandated_ms);
  state.counters["macro_bytes"] = static_cast<double>(macro_bytes);
}
BENCHMARK(BM_Apply)->ArgName("macro")->Arg(0)->Arg(1)->Iterations(5)->UseRealTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
