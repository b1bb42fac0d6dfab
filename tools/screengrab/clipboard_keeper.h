#pragma once

#include <QByteArray>

namespace z900::screengrab {

// First argument that makes the program the clipboard keeper instead of taking a screenshot.
inline constexpr char kServeClipboardArgument[] = "--serve-clipboard";

// Puts the PNG on the clipboard. On X11 and Wayland the clipboard is served by the program that
// set it and is gone when that program ends, so the screenshot is handed to a keeper: this
// program started again, in a session of its own, that serves the picture until another
// program takes the clipboard or kKeepClipboardMinutes have passed. Returns once the keeper
// holds the clipboard, with true, or has given up, with false; it does not wait for its end.
bool HandClipboardToKeeper(const QByteArray& png);

// How long a keeper serves a picture that nobody replaced.
inline constexpr int kKeepClipboardMinutes = 30;

// The keeper's main: reads the PNG from standard input, takes the clipboard, writes '1' (or
// '0' when it could not) to standard output and closes it, then serves. Returns the exit status.
int ServeClipboard(int argc, char** argv);

}  // namespace z900::screengrab
