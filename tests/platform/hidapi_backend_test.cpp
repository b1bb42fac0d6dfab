#include "platform/linux/hidapi_backend.h"

#include <gtest/gtest.h>

namespace z900::platform {
namespace {

TEST(KernelReleaseAtLeastTest, ComparesMajorThenMinor) {
  const struct {
    const char* release;
    bool at_least_5_11;
  } cases[] = {
      {"6.1.0-57-amd64", true}, {"5.11.0", true},           {"5.15.0-91-generic", true},
      {"5.10.209-2", false},    {"4.19.0-26-amd64", false}, {"2.6.61-57-amd64", false},
      {"10.0", true},           {"unknown", true},          {"5", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KernelReleaseAtLeast(c.release, 5, 11), c.at_least_5_11) << c.release;
  }
}

}  // namespace
}  // namespace z900::platform
