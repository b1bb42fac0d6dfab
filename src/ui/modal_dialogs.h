#pragma once

#include <QDialog>
#include <QObject>
#include <functional>

// How the utility's dialogs run: modal to their parent window only, so the tray icon and its
// menu stay usable while one is open, and closed by the utility's end when it comes meanwhile.
// Ui thread only.
namespace z900::ui {

// Runs `dialog` until it ends, modal to its parent window (one without a parent blocks no other
// window), and returns its result.
int ExecDialog(QDialog& dialog);

// How many dialogs run in ExecDialog now, nested ones each counted.
int RunningDialogCount();

// Ends every dialog that runs in ExecDialog as cancelled (its reject()), the innermost first;
// their ExecDialog calls return as the event loop gets back to them.
void CloseRunningDialogs();

// Runs `action` at once when no dialog runs in ExecDialog; otherwise from the event loop once the
// last one has ended and its caller has gone on. Not at all once `context` is gone.
void WhenNoDialogRuns(QObject* context, std::function<void()> action);

}  // namespace z900::ui
