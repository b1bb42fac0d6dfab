#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <filesystem>
#include <optional>

#include "capture.h"

// What differs between the systems the tool runs on: how the screen is read, where pictures go,
// and how the clipboard keeps a picture.
namespace z900::screengrab {

// A mode of the program other than taking a screenshot, chosen by its first argument (the
// clipboard keeper on Linux); nullopt when the arguments ask for a screenshot.
std::optional<int> RunOtherMode(int argc, char** argv);

// Whether the capture needs the widgets' application object (it shows the area chooser and
// reads the screen), rather than the core one.
bool CaptureNeedsWidgets();
// Why no capture can be made here, checked before Qt starts (which would abort); nullopt when
// one can.
std::optional<QString> CaptureProblem();
// Takes the picture. The application object exists.
Capture CaptureScreen(CaptureMode mode);

// The folder screenshots are saved in when none is given: Z900_SCREENSHOT_DIR, else the user's
// pictures folder.
std::filesystem::path ScreenshotFolder();

// Puts the picture on the clipboard so that it stays there after the program ended.
bool PutOnClipboard(const QImage& image, const QByteArray& png);

}  // namespace z900::screengrab
