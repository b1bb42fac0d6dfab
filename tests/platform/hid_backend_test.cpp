#include "platform/hid_backend.h"

#include <gtest/gtest.h>

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
  EXPECT_NE(denied.find("70-z900.rules"), std::string::npos);
}

}  // namespace
}  // namespace z900::platform
