#pragma once

#include <gtest/gtest.h>

// Cases that hold on one system only: elsewhere they are skipped, and the skip says why.
namespace z900::test {

#ifdef _WIN32
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

}  // namespace z900::test

// Skips the rest of a case on Windows: "Linux only: <why>".
#define Z900_LINUX_ONLY(why) \
  if (::z900::test::kOnWindows) GTEST_SKIP() << "Linux only: " << why
