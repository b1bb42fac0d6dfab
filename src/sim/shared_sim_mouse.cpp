#include "sim/shared_sim_mouse.h"

#include <algorithm>

#include "sim/sim_state_file.h"

namespace z900::sim {
namespace {

// One open handle: every report is one locked visit to the shared state.
class SharedSimTransport final : public platform::HidTransport {
 public:
  SharedSimTransport(SharedSimMouse& mouse, platform::Clock& clock, std::uint32_t generation)
      : mouse_(mouse), clock_(clock), generation_(generation) {}

  bool WriteReport(std::span<const std::uint8_t> report) override {
    return Visit([&](SimulatedMouse& mouse) { return mouse.HandleOutputReport(report); }) ||
           Fail("write");
  }
  int GetInputReport(std::span<std::uint8_t> buffer) override {
    if (Visit([&](SimulatedMouse& mouse) { return mouse.AnswerInputReport(buffer); })) {
      return static_cast<int>(std::min(buffer.size(), platform::kMouseReportSize));
    }
    Fail("read");
    return -1;
  }
  int ReadInputReport(std::span<std::uint8_t> buffer, int timeout_ms) override {
    int length = -1;
    std::string error;
    mouse_.Run(
        [&](SimulatedMouse& mouse) {
          if (Alive(mouse) && mouse.plugged()) length = mouse.ReadEventReport(buffer);
        },
        error);
    if (length == 0 && timeout_ms > 0) clock_.SleepMs(static_cast<std::uint32_t>(timeout_ms));
    return length;
  }
  std::string LastError() const override { return last_error_; }

 private:
  bool Alive(const SimulatedMouse& mouse) const { return mouse.plug_generation() == generation_; }

  template <typename Call>
  bool Visit(Call call) {
    bool done = false;
    std::string error;
    mouse_.Run([&](SimulatedMouse& mouse) { done = Alive(mouse) && call(mouse); }, error);
    return done;
  }

  bool Fail(const std::string& what) {
    last_error_ = "the simulated mouse refused the " + what + " or is unplugged";
    return false;
  }

  SharedSimMouse& mouse_;
  platform::Clock& clock_;
  const std::uint32_t generation_;
  std::string last_error_;
};

}  // namespace

SharedSimMouse::SharedSimMouse(std::filesystem::path state_file, platform::Clock& clock,
                               SimFaults faults)
    : state_file_(std::move(state_file)), mouse_(clock) {
  mouse_.SetFaults(faults);
}

bool SharedSimMouse::Run(const Work& work, std::string& error) {
  return RunLocked(work, error, false) == Attempt::kDone;
}

SharedSimMouse::Attempt SharedSimMouse::TryRun(const Work& work, std::string& error) {
  return RunLocked(work, error, true);
}

SharedSimMouse::Attempt SharedSimMouse::RunLocked(const Work& work, std::string& error,
                                                  bool without_waiting) {
  std::unique_lock guard(mutex_, std::defer_lock);
  if (without_waiting) {
    if (!guard.try_lock()) return Attempt::kBusy;
  } else {
    guard.lock();
  }
  bool busy = false;
  const std::unique_ptr<SimStateSession> session =
      without_waiting ? SimStateSession::TryOpen(state_file_, error, busy)
                      : SimStateSession::Open(state_file_, error);
  if (!session) return busy ? Attempt::kBusy : Attempt::kFailed;
  mouse_.ReplaceState(session->state());
  work(mouse_);
  // The wire log is for tests of one command; a program that runs for days keeps none.
  mouse_.ClearWireLog();
  // Most commands only ask: nothing to write then, and nothing for the other programs to notice.
  if (mouse_.state() != session->state() && !session->Save(mouse_.state(), error)) {
    return Attempt::kFailed;
  }
  return Attempt::kDone;
}

platform::HidOpenResult SharedSimBackend::OpenMouse() {
  platform::HidOpenResult result;
  bool plugged = false;
  std::uint32_t generation = 0;
  std::string error;
  if (!mouse_.Run(
          [&](SimulatedMouse& mouse) {
            plugged = mouse.plugged();
            generation = mouse.plug_generation();
          },
          error)) {
    result.error = platform::HidOpenError::kOpenFailed;
    result.detail = "simulated mouse: " + error;
    return result;
  }
  if (!plugged) {
    result.error = platform::HidOpenError::kNoDevice;
    return result;
  }
  result.transport = std::make_unique<SharedSimTransport>(mouse_, clock_, generation);
  return result;
}

}  // namespace z900::sim
