#include "app/instance_messages.h"

#include <gtest/gtest.h>

namespace z900::app {
namespace {

TEST(InstanceMessagesTest, RequestsRoundTripAsTheirWindowMessages) {
  EXPECT_EQ(FormatInstanceRequest(InstanceRequest::kShowWindow), "1132 0 515\n");
  EXPECT_EQ(FormatInstanceRequest(InstanceRequest::kHideWindow), "2049 0 0\n");
  for (const InstanceRequest request :
       {InstanceRequest::kShowWindow, InstanceRequest::kHideWindow}) {
    std::string line = FormatInstanceRequest(request);
    line.pop_back();
    EXPECT_EQ(ParseInstanceRequest(line), request);
  }
  EXPECT_EQ(ParseInstanceRequest("2049 7 9"), InstanceRequest::kHideWindow);
}

// Whatever else reaches the socket does nothing, the tray's context click included.
TEST(InstanceMessagesTest, AnythingElseIsNoRequest) {
  for (const char* line :
       {"", "1132 0 517", "1132 0 514", "1132 0", "1132  0 515", " 1132 0 515", "1132 0 515 1",
        "1132 0 515x", "2049", "x 0 0", "99999999999 0 0", "1132 0 -515"}) {
    EXPECT_FALSE(ParseInstanceRequest(line)) << '"' << line << '"';
  }
  EXPECT_FALSE(ParseInstanceRequest(std::string(kMaxRequestLine + 1, '1')));
}

}  // namespace
}  // namespace z900::app
