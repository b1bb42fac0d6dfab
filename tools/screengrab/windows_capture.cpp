// Screenshots on Windows: the screen through Qt, the foreground window's frame from the desktop
// window manager, the clipboard through the system's own (it keeps what it was given).
#include <windows.h>
// After windows.h.
#include <dwmapi.h>

#include <QApplication>
#include <QBuffer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <cstring>

#include "desktop_notification.h"
#include "platform/program_paths.h"
#include "platform/utf8_path.h"
#include "system_capture.h"

namespace z900::screengrab {
namespace {

// The whole desktop, every screen, in physical pixels.
QImage GrabDesktop() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect area = screen->virtualGeometry();
  return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

// The foreground window's frame on the desktop picture, without the invisible resize border.
WindowFrame ForegroundWindowFrame() {
  const HWND window = ::GetForegroundWindow();
  if (window == nullptr) return {std::nullopt, "no window is in the foreground"};
  RECT frame{};
  if (::DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof frame) != S_OK &&
      !::GetWindowRect(window, &frame)) {
    return {std::nullopt, "the foreground window's frame cannot be read"};
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect virtual_area = screen->virtualGeometry();
  const qreal ratio = screen->devicePixelRatio();
  // Windows gives physical pixels; the desktop picture starts at the virtual desktop's corner.
  return {QRect(frame.left - static_cast<int>(virtual_area.x() * ratio),
                frame.top - static_cast<int>(virtual_area.y() * ratio), frame.right - frame.left,
                frame.bottom - frame.top),
          {}};
}

// A global memory block holding `size` bytes copied from `data`, for the clipboard.
HGLOBAL GlobalCopy(const void* data, std::size_t size) {
  const HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (block == nullptr) return nullptr;
  void* target = ::GlobalLock(block);
  if (target == nullptr) {
    ::GlobalFree(block);
    return nullptr;
  }
  std::memcpy(target, data, size);
  ::GlobalUnlock(block);
  return block;
}

// The picture as a device-independent bitmap: a header and bottom-up rows of 32-bit pixels.
QByteArray DeviceIndependentBitmap(const QImage& image) {
  const QImage pixels = image.convertToFormat(QImage::Format_RGB32).mirrored();
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = pixels.width();
  header.biHeight = pixels.height();
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(pixels.sizeInBytes());
  QByteArray bytes(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(pixels.constBits()), pixels.sizeInBytes());
  return bytes;
}

}  // namespace

std::optional<int> RunOtherMode(int /*argc*/, char** /*argv*/) { return std::nullopt; }

bool CaptureNeedsWidgets() { return true; }

std::optional<QString> CaptureProblem() { return std::nullopt; }

Capture CaptureScreen(CaptureMode mode) {
  return CaptureFromDesktop(GrabDesktop(), mode, ForegroundWindowFrame);
}

std::filesystem::path ScreenshotFolder() {
  if (const auto dir = platform::EnvironmentValue("Z900_SCREENSHOT_DIR")) {
    return platform::PathFromUtf8(*dir);
  }
  return std::filesystem::path(
      QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdU16String());
}

bool PutOnClipboard(const QImage& image, const QByteArray& png) {
  const QByteArray bitmap = DeviceIndependentBitmap(image);
  if (!::OpenClipboard(nullptr)) return false;
  ::EmptyClipboard();
  // What the system owns once set stays after the program ended.
  bool stored = false;
  if (const HGLOBAL block = GlobalCopy(bitmap.constData(), bitmap.size())) {
    stored = ::SetClipboardData(CF_DIB, block) != nullptr;
    if (!stored) ::GlobalFree(block);
  }
  // Programs that read pictures with their transparency ask for PNG by name.
  if (const UINT png_format = ::RegisterClipboardFormatW(L"PNG")) {
    if (const HGLOBAL block = GlobalCopy(png.constData(), png.size())) {
      if (::SetClipboardData(png_format, block) == nullptr) ::GlobalFree(block);
    }
  }
  ::CloseClipboard();
  return stored;
}

// Windows has no notification service a program may simply call; the tool's output and the
// clipboard tell.
bool NotifyDesktop(const QString& /*summary*/, const QString& /*body*/,
                   const QString& /*picture_path*/) {
  return false;
}

}  // namespace z900::screengrab
