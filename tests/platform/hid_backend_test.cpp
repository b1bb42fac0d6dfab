#include "platform/hid_backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace z900::platform {
namespace {

TEST(SelectMouseInterfaceTest, TakesTheVendorInterfaceOnly) {
  const std::vector<HidInterfaceInfo> found = {
      {"/dev/hidraw0", 0x0001, 0x02},  // the mouse itself
      {"/dev/hidraw1", 0xFF00, 0x01},  // another vendor collection
      {"/dev/hidraw2", 0xFF00, 0x0E},
  };
  const std::optional<HidInterfaceInfo> chosen = SelectMouseInterface(found);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->path, "/dev/hidraw2");
  EXPECT_FALSE(SelectMouseInterface({found[0], found[1]}));
  EXPECT_FALSE(SelectMouseInterface({}));
}

TEST(DescribeOpenFailureTest, SaysWhatToDo) {
  EXPECT_NE(DescribeOpenFailure(HidOpenError::kNoDevice, "").find("--simulate"), std::string::npos);
  const std::string denied = DescribeOpenFailure(HidOpenError::kAccessDenied, "/dev/hidraw2");
  EXPECT_NE(denied.find("/dev/hidraw2"), std::string::npos);
  EXPECT_NE(denied.find(MouseAccessHint()), std::string::npos);
  // A library that cannot start has seen no mouse: nothing claims that one is connected.
  const std::string failed =
      DescribeOpenFailure(HidOpenError::kOpenFailed, "the HID library could not be initialised");
  EXPECT_EQ(failed.find("connected"), std::string::npos) << failed;
  EXPECT_NE(failed.find("could not be initialised"), std::string::npos) << failed;
}

struct AnswerCase {
  const char* name;
  std::vector<std::uint8_t> received;
  std::vector<std::uint8_t> answer;  // from the status on
};

class StatusFirstAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(StatusFirstAnswerTest, PutsTheStatusFirst) {
  const AnswerCase& c = GetParam();
  std::vector<std::uint8_t> buffer = c.received;
  buffer.resize(32, 0xEE);  // whatever lies behind the answer stays out of it
  const std::size_t length = StatusFirstAnswer(buffer, c.received.size());
  EXPECT_THAT(std::vector(buffer.begin(), buffer.begin() + length),
              ::testing::ElementsAreArray(c.answer));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, StatusFirstAnswerTest,
    ::testing::Values(AnswerCase{"StatusFirst", {0x01, 0x00, 0x0C}, {0x01, 0x00, 0x0C}},
                      AnswerCase{"ReportIdFirst", {0xBA, 0x01, 0x0C}, {0x01, 0x0C}},
                      AnswerCase{"BusyWithReportId", {0xBA, 0x00}, {0x00}},
                      AnswerCase{"OnlyTheReportId", {0xBA}, {}}, AnswerCase{"Nothing", {}, {}}),
    [](const auto& p) { return p.param.name; });

TEST(StatusFirstAnswerBoundsTest, FullReportWithIdLeavesThirtyOneBytes) {
  std::vector<std::uint8_t> buffer(32, 0x55);
  buffer[0] = 0xBA;
  buffer[1] = 0x01;
  EXPECT_EQ(StatusFirstAnswer(buffer, 32), 31u);
  EXPECT_EQ(buffer[0], 0x01);
  EXPECT_EQ(buffer[30], 0x55);
  EXPECT_EQ(buffer[31], 0x00);
  EXPECT_EQ(StatusFirstAnswer(buffer, 40), 32u);  // never past the buffer
}

}  // namespace
}  // namespace z900::platform
