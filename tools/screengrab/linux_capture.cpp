#include <string>

#include "clipboard_keeper.h"
#include "picture_folder.h"
#include "platform/program_paths.h"
#include "portal_capture.h"
#include "system_capture.h"
#include "x11_capture.h"

namespace z900::screengrab {
namespace {

// Under Wayland a program may not read the screen; the desktop portal does it for us.
bool IsWaylandSession() {
  return platform::EnvironmentValue("WAYLAND_DISPLAY") ||
         platform::EnvironmentValue("XDG_SESSION_TYPE") == "wayland";
}

}  // namespace

std::optional<int> RunOtherMode(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == kServeClipboardArgument) {
    return ServeClipboard(argc, argv);
  }
  return std::nullopt;
}

// The portal needs no display.
bool CaptureNeedsWidgets() { return !IsWaylandSession(); }

std::optional<QString> CaptureProblem() {
  if (IsWaylandSession()) return std::nullopt;
  return X11DisplayProblem();
}

Capture CaptureScreen(CaptureMode mode) {
  return IsWaylandSession() ? CaptureThroughPortal(mode) : CaptureOnX11(mode);
}

std::filesystem::path ScreenshotFolder() { return PictureFolder(ReadPictureFolderEnvironment()); }

bool PutOnClipboard(const QImage& /*image*/, const QByteArray& png) {
  return HandClipboardToKeeper(png);
}

}  // namespace z900::screengrab
