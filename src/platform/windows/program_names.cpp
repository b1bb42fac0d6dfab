#include <filesystem>
#include <string>

#include "platform/foreground_app.h"
#include "platform/text.h"
#include "platform/utf8_path.h"

namespace z900::platform {

// A Windows program is seen in the foreground by its executable's file name, extension and all,
// which is the name of the file chosen.
std::u16string ProgramSeenAs(const std::filesystem::path& chosen) {
  return Utf8ToUtf16(PathToUtf8(chosen.filename()));
}

}  // namespace z900::platform
