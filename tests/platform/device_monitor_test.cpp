#include "platform/device_monitor.h"

#include <gtest/gtest.h>

namespace z900::platform {
namespace {

TEST(DeviceMonitorTest, KnowsTheMouseByItsUsbProduct) {
  EXPECT_TRUE(IsMouseUsbProduct("5e1d/e37/100"));
  EXPECT_TRUE(IsMouseUsbProduct("5E1D/E37"));
  EXPECT_FALSE(IsMouseUsbProduct("5e1d/e38/100"));
  EXPECT_FALSE(IsMouseUsbProduct("46d/c52b/1211"));
  EXPECT_FALSE(IsMouseUsbProduct("5e1d"));
  EXPECT_FALSE(IsMouseUsbProduct("15e1d/e37/100x"));
  EXPECT_FALSE(IsMouseUsbProduct(""));
}

TEST(DeviceMonitorTest, KnowsTheMouseByItsDeviceInterfaceName) {
  struct Case {
    std::u16string_view name;
    bool mouse;
  };
  const Case cases[] = {
      {u"\\\\?\\USB#VID_5E1D&PID_0E37#6&1a2b3c4d&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", true},
      {u"\\\\?\\usb#vid_5e1d&pid_0e37#serial#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", true},
      {u"\\\\?\\USB#VID_5E1D&PID_0E38#6&1a2b3c4d&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", false},
      {u"\\\\?\\USB#VID_046D&PID_C52B#6&1a2b3c4d&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", false},
      {u"VID_5E1D&PID_0E3", false},
      {u"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsMouseDeviceInterfaceName(c.name), c.mouse)
        << std::string(c.name.begin(), c.name.end());
  }
}

}  // namespace
}  // namespace z900::platform
