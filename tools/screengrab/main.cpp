// z900-screengrab: takes a screenshot of the desktop, the active window or a dragged area,
// saves it as a PNG and puts it on the clipboard. The utility starts it for the screenshot
// buttons of the mouse.
#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "clipboard_keeper.h"
#include "desktop_notification.h"
#include "grab_options.h"
#include "picture_folder.h"
#include "platform/program_paths.h"
#include "portal_capture.h"
#include "screenshot_file.h"
#include "x11_capture.h"

namespace z900::screengrab {
namespace {

constexpr int kExitTaken = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Fail(const QString& message) {
  std::cerr << "z900-screengrab: " << message.toStdString() << '\n';
  return kExitFailed;
}

// Under Wayland a program may not read the screen; the desktop portal does it for us.
bool IsWaylandSession() {
  return platform::EnvironmentValue("WAYLAND_DISPLAY") ||
         platform::EnvironmentValue("XDG_SESSION_TYPE") == "wayland";
}

QByteArray EncodePng(const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return png;
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

int Run(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedArguments parsed = ParseGrabOptions(args);
  if (!parsed.options) {
    std::cerr << "z900-screengrab: " << parsed.error << "\nTry 'z900-screengrab --help'.\n";
    return kExitUsage;
  }
  const GrabOptions& options = *parsed.options;
  if (options.help) {
    std::cout << UsageText();
    return kExitTaken;
  }

  const bool through_portal = IsWaylandSession();
  if (!through_portal) {
    if (auto problem = X11DisplayProblem()) return Fail(*problem);
  }
  std::filesystem::path folder;
  if (options.save_png) {
    folder = options.output_folder ? std::filesystem::path(*options.output_folder)
                                   : PictureFolder(ReadPictureFolderEnvironment());
  }

  // Qt sees only the program name: our options are not Qt's. The portal needs no display.
  int qt_argc = 1;
  const std::unique_ptr<QCoreApplication> app =
      through_portal ? std::make_unique<QCoreApplication>(qt_argc, argv)
                     : std::make_unique<QApplication>(qt_argc, argv);
  const Capture capture =
      through_portal ? CaptureThroughPortal(options.mode) : CaptureOnX11(options.mode);
  if (capture.outcome == Capture::Outcome::kCancelled) return Fail("cancelled, nothing saved");
  if (capture.outcome == Capture::Outcome::kFailed) return Fail(capture.message);

  const QByteArray png = EncodePng(capture.image);
  if (png.isEmpty()) return Fail("cannot encode the screenshot as PNG");
  SavedFile saved;
  if (options.save_png) {
    saved = SaveScreenshot(png, folder, LocalNow());
    if (saved.path.empty()) return Fail(saved.error);
  }
  const bool on_clipboard = HandClipboardToKeeper(png);
  if (!options.save_png && !on_clipboard) {
    return Fail("cannot put the screenshot on the clipboard");
  }

  const QString path = QString::fromStdString(saved.path.string());
  QString body;
  if (options.save_png) {
    body = "Saved as " + path + (on_clipboard ? " and copied to the clipboard" : "");
    std::cout << saved.path.string() << std::endl;
  } else {
    body = "Copied to the clipboard";
  }
  NotifyDesktop("Screenshot taken", body, path);
  return kExitTaken;
}

}  // namespace
}  // namespace z900::screengrab

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == z900::screengrab::kServeClipboardArgument) {
    return z900::screengrab::ServeClipboard(argc, argv);
  }
  return z900::screengrab::Run(argc, argv);
}
