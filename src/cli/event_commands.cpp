#include <array>
#include <cstdio>
#include <ostream>

#include "actions/host_action_executor.h"
#include "cli/cli_session.h"
#include "device/event_channel.h"
#include "device/event_word.h"
#include "device/hid_event_source.h"
#include "sim/sim_event_source.h"

namespace z900::cli {
namespace {

constexpr std::uint32_t kRegistrationRetryMs = 1000;
constexpr auto kWakeInterval = std::chrono::milliseconds(100);

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string DescribeEvent(std::uint32_t word) {
  std::string text = Hex32(word);
  if (device::IsHostActionEvent(word)) {
    const int kind = device::EventActionKind(word);
    const std::string_view name = actions::HostActionName(kind);
    text += " action " + std::to_string(kind);
    if (!name.empty()) text += " (" + std::string(name) + ")";
    // The other kinds carry a fixed 1 where these carry the button.
    if (actions::ActionNamesButton(kind)) {
      text += ", button " + std::to_string(device::EventButtonIndex(word) + 1);
    }
  } else {
    text += " (not a host-action event)";
  }
  return text;
}

// Ends the listening; words the simulated mouse handed over but nobody printed (an interrupt
// came first) go back into its queue. kExitOk, or kExitFailed when they could not.
int StopListening(CliSession& session, device::EventChannel& channel, device::EventQueue& queue,
                  sim::SimStateEventSource* sim_source) {
  const CliEnvironment& env = session.environment();
  channel.ShutDown();
  if (env.watch_interrupts) env.watch_interrupts(false);
  if (sim_source == nullptr) return kExitOk;
  std::vector<std::uint32_t> unprinted;
  while (const std::optional<std::uint32_t> word = queue.Take(std::chrono::milliseconds(0))) {
    unprinted.push_back(*word);
  }
  const std::vector<std::uint32_t> unread = sim_source->TakeUnread();
  unprinted.insert(unprinted.end(), unread.begin(), unread.end());
  std::string error;
  if (!sim_source->ReturnEvents(unprinted, error)) {
    return session.Fail(kExitFailed, std::to_string(unprinted.size()) +
                                         " events were not printed and could not be returned "
                                         "to the simulated mouse: " +
                                         error);
  }
  return kExitOk;
}

int RunEvents(CliSession& session, std::span<const std::string> args) {
  std::string error;
  const std::optional<CommandArgs> parsed = ParseCommandArgs(args, {}, {"--count"}, error);
  std::optional<std::uint32_t> count = 0;
  if (parsed && parsed->Value("--count")) count = ParseUnsigned(*parsed->Value("--count"));
  if (!parsed || !parsed->positional.empty() || !count) {
    return session.Fail(kExitUsage, parsed && count ? "usage: z900ctl events [--count N]"
                                                    : (error.empty() ? "bad --count" : error));
  }
  const CliEnvironment& env = session.environment();
  std::unique_ptr<platform::EventSource> source;
  sim::SimStateEventSource* sim_source = nullptr;
  if (session.simulate()) {
    auto shared_file =
        std::make_unique<sim::SimStateEventSource>(env.paths.sim_state_file, *env.clock);
    // Only the words that will be printed leave the file; the rest stay for the next listener.
    if (*count > 0) shared_file->set_take_limit(*count);
    sim_source = shared_file.get();
    source = std::move(shared_file);
  } else if (env.hardware != nullptr) {
    source = std::make_unique<device::HidEventSource>(*env.hardware, *env.clock);
  } else {
    return session.Fail(kExitNoMouse, "no HID access on this platform");
  }

  device::EventQueue queue;
  device::EventChannel channel(*source);
  channel.StartEventChannel(queue.Poster());
  if (env.watch_interrupts) env.watch_interrupts(true);
  bool told_waiting = false;
  bool registered = false;
  std::uint64_t next_tick = env.clock->NowMs();
  std::uint32_t printed = 0;
  while (!(env.interrupted && env.interrupted()) && (*count == 0 || printed < *count)) {
    if (!registered && env.clock->NowMs() >= next_tick) {
      registered = channel.RegistrationTick();
      next_tick = env.clock->NowMs() + kRegistrationRetryMs;
      if (registered) {
        session.err() << "Listening for host-action events; press Ctrl-C to stop.\n";
      } else if (!told_waiting) {
        session.err() << "Waiting for the mouse (retrying every second)...\n";
        told_waiting = true;
      }
    }
    if (const std::optional<std::uint32_t> word = queue.Take(kWakeInterval)) {
      session.out() << DescribeEvent(*word) << std::endl;
      ++printed;
    }
    if (sim_source != nullptr) {
      if (std::string problem = sim_source->TakeError(); !problem.empty()) {
        StopListening(session, channel, queue, sim_source);
        return session.Fail(kExitFailed, "simulated mouse: " + problem);
      }
    }
  }
  return StopListening(session, channel, queue, sim_source);
}

// The arguments of the sim commands: a number and an optional --mode.
struct SimArgs {
  std::uint32_t value = 0;
  std::optional<int> mode;
};

std::optional<SimArgs> ParseSimArgs(std::span<const std::string> args, std::uint32_t max_value,
                                    bool with_mode) {
  std::string error;
  const std::optional<CommandArgs> parsed =
      ParseCommandArgs(args, {},
                       with_mode ? std::initializer_list<std::string_view>{"--mode"}
                                 : std::initializer_list<std::string_view>{},
                       error);
  if (!parsed || parsed->positional.size() != 1) return std::nullopt;
  SimArgs sim_args;
  const std::optional<std::uint32_t> value = ParseUnsigned(parsed->positional[0]);
  if (!value || *value > max_value) return std::nullopt;
  sim_args.value = *value;
  if (const std::optional<std::string> mode = parsed->Value("--mode")) {
    const std::optional<std::uint32_t> number = ParseUnsigned(*mode);
    if (!number || *number > 1) return std::nullopt;
    sim_args.mode = static_cast<int>(*number);
  }
  return sim_args;
}

int RunSimPress(CliSession& session, std::span<const std::string> args) {
  const std::optional<SimArgs> parsed = ParseSimArgs(args, 8, true);
  if (!parsed || parsed->value < 1) {
    return session.Fail(kExitUsage,
                        "usage: z900ctl sim press BUTTON [--mode M] (BUTTON 1-8, M 0-1)");
  }
  if (int code = session.LoadSimulatedMouse(); code != kExitOk) return code;
  sim::SimulatedMouse& mouse = *session.simulated_mouse();
  if (!mouse.plugged()) {
    return session.Fail(kExitNoMouse,
                        "the simulated mouse is unplugged; plug it in with "
                        "\"z900ctl --simulate sim plug\"");
  }
  const int mode = parsed->mode.value_or(mouse.state().mode);
  const std::optional<sim::PressOutcome> outcome =
      mouse.PressButton(static_cast<int>(parsed->value), mode);
  if (!outcome) return session.Fail(kExitFailed, "the simulated mouse has no such button");
  session.out() << "button " << parsed->value << " in mode " << mode << ": code "
                << Hex32(outcome->device_code);
  if (outcome->event_word) {
    session.out() << ", event " << Hex32(*outcome->event_word) << " sent to the host\n";
  } else {
    session.out() << ", carried out by the mouse\n";
  }
  return kExitOk;
}

int RunSimMode(CliSession& session, std::span<const std::string> args) {
  const std::optional<SimArgs> parsed = ParseSimArgs(args, 1, false);
  if (!parsed) return session.Fail(kExitUsage, "usage: z900ctl sim mode M (M 0 or 1)");
  if (int code = session.LoadSimulatedMouse(); code != kExitOk) return code;
  session.simulated_mouse()->SetMode(static_cast<std::uint8_t>(parsed->value));
  session.out() << "the simulated mouse is now in mode " << parsed->value << '\n';
  return kExitOk;
}

// Plugs the simulated mouse in or out; a program that runs meanwhile notices it as it would a
// real mouse coming or going.
int RunSimConnection(CliSession& session, std::span<const std::string> args, bool plug) {
  if (!args.empty())
    return session.Fail(kExitUsage, plug ? "usage: z900ctl sim plug" : "usage: z900ctl sim unplug");
  if (int code = session.LoadSimulatedMouse(); code != kExitOk) return code;
  sim::SimulatedMouse& mouse = *session.simulated_mouse();
  const bool was_plugged = mouse.plugged();
  if (plug) {
    mouse.Plug();
  } else {
    mouse.Unplug();
  }
  session.out() << "the simulated mouse is " << (was_plugged == plug ? "still " : "now ")
                << (plug ? "plugged in" : "unplugged") << '\n';
  return kExitOk;
}

int RunSimPlug(CliSession& session, std::span<const std::string> args) {
  return RunSimConnection(session, args, true);
}

int RunSimUnplug(CliSession& session, std::span<const std::string> args) {
  return RunSimConnection(session, args, false);
}

constexpr std::array kCommands = {
    Command{"events", "[--count N]",
            "print host-action events as the mouse sends them (N of them, or until Ctrl-C)",
            &RunEvents},
    Command{"sim press", "BUTTON [--mode M]", "press a button of the simulated mouse",
            &RunSimPress},
    Command{"sim mode", "M", "switch the simulated mouse to mode M, as its mode button does",
            &RunSimMode},
    Command{"sim unplug", "", "unplug the simulated mouse", &RunSimUnplug},
    Command{"sim plug", "", "plug the simulated mouse in again", &RunSimPlug},
};

}  // namespace

std::span<const Command> EventCommands() { return kCommands; }

}  // namespace z900::cli
