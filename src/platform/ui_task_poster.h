#pragma once

#include <functional>

namespace z900::platform {

// Runs a task on the ui thread, later; callable from any thread. The ui supplies it.
using UiTaskPoster = std::function<void(std::function<void()> task)>;

}  // namespace z900::platform
