#include "screenshot_file.h"

#include <QFile>
#include <system_error>

#include "picture_folder.h"

namespace z900::screengrab {
namespace {

namespace fs = std::filesystem;

// Names past this many clashes in one second point at something other than screenshots.
constexpr int kMaxAttempts = 1000;

QString PathText(const fs::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

SavedFile SaveScreenshot(const QByteArray& png, const fs::path& folder, const std::tm& local_time) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    return {{},
            "cannot create the folder " + PathText(folder) + ": " +
                QString::fromStdString(error.message())};
  }
  for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
    const fs::path path = folder / ScreenshotFileName(local_time, attempt);
    QFile file(PathText(path));
    // NewOnly creates the file or fails, in one step, so a file that appears meanwhile is kept.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      if (fs::exists(fs::symlink_status(path, error))) continue;
      return {{}, "cannot create " + PathText(path) + ": " + file.errorString()};
    }
    const bool written = file.write(png) == png.size() && file.flush();
    const QString write_error = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
      file.remove();
      return {{}, "cannot write " + PathText(path) + ": " + write_error};
    }
    return {path, {}};
  }
  return {{}, "no free file name for the screenshot in " + PathText(folder)};
}

}  // namespace z900::screengrab
