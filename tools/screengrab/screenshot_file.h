#pragma once

#include <QByteArray>
#include <QString>
#include <ctime>
#include <filesystem>

namespace z900::screengrab {

// Where a screenshot was saved, or why it was not.
struct SavedFile {
  std::filesystem::path path;  // empty on failure
  QString error;
};

// Saves the PNG bytes under ScreenshotFileName(local_time, …) in the folder, which is created
// when missing. An existing file is never replaced: a clash takes the next free "-N" name. A
// file that could not be written completely is removed again.
SavedFile SaveScreenshot(const QByteArray& png, const std::filesystem::path& folder,
                         const std::tm& local_time);

}  // namespace z900::screengrab
