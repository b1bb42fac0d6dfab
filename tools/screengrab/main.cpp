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

#include "desktop_notification.h"
#include "grab_options.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/utf8_path.h"
#include "screenshot_file.h"
#include "system_capture.h"

namespace z900::screengrab {
namespace {

constexpr int kExitTaken = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Fail(const QString& message) {
  std::cerr << "z900-screengrab: " << message.toStdString() << '\n';
  return kExitFailed;
}

QByteArray EncodePng(const QImage& image) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return png;
}

int Run(int argc, char** argv) {
  const std::vector<std::string> args = platform::ProgramArguments(argc, argv);
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

  if (auto problem = CaptureProblem()) return Fail(*problem);
  std::filesystem::path folder;
  if (options.save_png) {
    folder = options.output_folder ? platform::PathFromUtf8(*options.output_folder)
                                   : ScreenshotFolder();
  }

  // Qt sees only the program name: our options are not Qt's.
  int qt_argc = 1;
  const std::unique_ptr<QCoreApplication> app =
      CaptureNeedsWidgets() ? std::make_unique<QApplication>(qt_argc, argv)
                            : std::make_unique<QCoreApplication>(qt_argc, argv);
  const Capture capture = CaptureScreen(options.mode);
  if (capture.outcome == Capture::Outcome::kCancelled) return Fail("cancelled, nothing saved");
  if (capture.outcome == Capture::Outcome::kFailed) return Fail(capture.message);

  const QByteArray png = EncodePng(capture.image);
  if (png.isEmpty()) return Fail("cannot encode the screenshot as PNG");
  SavedFile saved;
  if (options.save_png) {
    saved = SaveScreenshot(png, folder, platform::LocalTime(std::time(nullptr)));
    if (saved.path.empty()) return Fail(saved.error);
  }
  const bool on_clipboard = PutOnClipboard(capture.image, png);
  if (!options.save_png && !on_clipboard) {
    return Fail("cannot put the screenshot on the clipboard");
  }

  const QString path = QString::fromStdU16String(saved.path.u16string());
  QString body;
  if (options.save_png) {
    body = "Saved as " + path + (on_clipboard ? " and copied to the clipboard" : "");
    std::cout << platform::PathToUtf8(saved.path) << std::endl;
  } else {
    body = "Copied to the clipboard";
  }
  NotifyDesktop("Screenshot taken", body, path);
  return kExitTaken;
}

}  // namespace
}  // namespace z900::screengrab

int main(int argc, char** argv) {
  if (const std::optional<int> status = z900::screengrab::RunOtherMode(argc, argv)) return *status;
  return z900::screengrab::Run(argc, argv);
}
