#pragma once

#include <memory>
#include <string>

namespace z900::platform {

// What a failed look-up of the foreground program yields; never equal to a stored name.
inline constexpr char16_t kUnknownProgram[] = u"Unknow";

// The program that owns the foreground window.
class ForegroundApp {
 public:
  virtual ~ForegroundApp() = default;
  // The file name (without folder) of the foreground window's executable, or "Unknow".
  virtual std::u16string ForegroundProgramName() = 0;
};

// The foreground look-up of this platform.
std::unique_ptr<ForegroundApp> CreateSystemForegroundApp();

}  // namespace z900::platform
