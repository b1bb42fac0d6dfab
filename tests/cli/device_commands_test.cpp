#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/sim_state_file.h"
#include "support/cli_fixture.h"
#include "support/missing_mouse_backend.h"

namespace z900::cli {
namespace {

using test::MissingMouse;
using ::testing::HasSubstr;

class DeviceCommandsTest : public test::CliTest {};

TEST_F(DeviceCommandsTest, InfoShowsModeAndFirmwareOfTheFactoryMouse) {
  const Result result = Run({"--simulate", "info"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out, "mode: 0\nfirmware: 1.2\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(DeviceCommandsTest, ReadPrintsSixteenBytesPerLine) {
  const Result result = Run({"--simulate", "read", "0x10", "20"});
  EXPECT_EQ(result.code, kExitOk) << result.err;
  EXPECT_EQ(result.out,
            "0010: 00 00 00 00 01 01 00 00 0c 00 00 00 00 00 00 00\n"
            "0020: 00 00 00 00\n");
}

TEST_F(DeviceCommandsTest, ReadPrintsEachLineAsSoonAsItIsRead) {
  env.sim_faults = "unplug-after=8";  // eight reads of four bytes, then the mouse is gone
  const Result result = Run({"--simulate", "read", "0", "64"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_EQ(result.out,
            "0000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "0010: 00 00 00 00 01 01 00 00 0c 00 00 00 00 00 00 00\n");
  EXPECT_THAT(result.err, HasSubstr("did not answer the read of 0x0020"));
}

TEST_F(DeviceCommandsTest, SimulatedMouseStateIsSharedBetweenRuns) {
  {
    std::string error;
    auto session = sim::SimStateSession::Open(env.paths.sim_state_file, error);
    ASSERT_TRUE(session) << error;
    sim::MouseState state = session->state();
    state.mode = 1;
    state.memory[0x400] = 0xAB;
    ASSERT_TRUE(session->Save(state, error));
  }
  EXPECT_EQ(Run({"--simulate", "info"}).out, "mode: 1\nfirmware: 1.2\n");
  EXPECT_EQ(Run({"--simulate", "read", "0x400", "1"}).out, "0400: ab\n");
}

TEST_F(DeviceCommandsTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--simulate"},
      {"--bogus", "info"},
      {"frobnicate"},
      {"--simulate", "info", "extra"},
      {"--simulate", "read"},
      {"--simulate", "read", "0x10000"},
      {"--simulate", "read", "0xFFFF", "2"},
      {"--simulate", "read", "12", "0"},
      {"--simulate", "read", "zz"},
  };
  for (const auto& args : cases) {
    const Result result = Run(args);
    EXPECT_EQ(result.code, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_THAT(result.err, HasSubstr("z900ctl: "));
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(DeviceCommandsTest, HelpAndVersion) {
  const Result help = Run({"--help"});
  EXPECT_EQ(help.code, kExitOk);
  EXPECT_THAT(help.out, HasSubstr("read ADDR [COUNT]"));
  EXPECT_THAT(help.out, HasSubstr("Exit status"));
  const Result version = Run({"--version"});
  EXPECT_EQ(version.code, kExitOk);
  EXPECT_THAT(version.out, HasSubstr("z900ctl 0."));
  EXPECT_THAT(version.out, HasSubstr("\nLicense GPL-3.0-or-later: GNU GPL version 3 or later"));
}

TEST_F(DeviceCommandsTest, MissingOrLockedMouseExitsWithThreeAndSaysWhatToDo) {
  MissingMouse absent(platform::HidOpenError::kNoDevice);
  env.hardware = &absent;
  Result result = Run({"info"});
  EXPECT_EQ(result.code, kExitNoMouse);
  EXPECT_THAT(result.err, HasSubstr("No Z900 mouse found"));

  MissingMouse locked(platform::HidOpenError::kAccessDenied);
  env.hardware = &locked;
  result = Run({"read", "0"});
  EXPECT_EQ(result.code, kExitNoMouse);
  EXPECT_THAT(result.err, HasSubstr(platform::MouseAccessHint()));
}

TEST_F(DeviceCommandsTest, FaultsFromTheEnvironment) {
  env.sim_faults = "no-ack";
  Result result = Run({"--simulate", "info"});
  EXPECT_EQ(result.code, kExitFailed);
  EXPECT_THAT(result.err, HasSubstr("did not answer"));

  env.sim_faults = "ack-delay=20,only=0xa3";  // firmware answers at the third poll
  result = Run({"--simulate", "info"});
  EXPECT_EQ(result.code, kExitOk) << result.err;

  env.sim_faults = "unplug-after=0";
  EXPECT_EQ(Run({"--simulate", "info"}).code, kExitFailed);

  env.sim_faults = "melt";
  result = Run({"--simulate", "info"});
  EXPECT_EQ(result.code, kExitUsage);
  EXPECT_THAT(result.err, HasSubstr("Z900_SIM_FAULTS"));
}

TEST_F(DeviceCommandsTest, TraceGoesToTheErrorStream) {
  env.trace = true;
  const Result result = Run({"--simulate", "info"});
  EXPECT_EQ(result.out, "mode: 0\nfirmware: 1.2\n");
  EXPECT_EQ(result.err, "Send: ba a2 \nReceive: 01 00 \nSend: ba a3 \nReceive: 01 0c \n");
}

}  // namespace
}  // namespace z900::cli
