#pragma once

#include <QString>

namespace z900::screengrab {

// Shows a notification through the desktop's notification service, with the picture file as
// its image when one is given. Returns false when no service answered.
bool NotifyDesktop(const QString& summary, const QString& body, const QString& picture_path);

}  // namespace z900::screengrab
