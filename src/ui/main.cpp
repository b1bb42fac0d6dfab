// z900-config: the tray utility. "--simulate" runs it against the simulated mouse that
// z900ctl --simulate shares; "--render DIR" draws its gallery offscreen and ends;
// "--autostart on|off" switches starting at login and ends.
#include <QApplication>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/start_utility.h"
#include "platform/console.h"
#include "ui/config_app.h"

int main(int argc, char** argv) {
  // The command line is checked before anything opens a display: a wrong argument, --help,
  // --version and --autostart work without one. Qt's own options pass it, for QApplication.
  const std::vector<std::string> args = z900::platform::ProgramArguments(argc, argv);
  std::string error;
  const std::optional<z900::app::Options> options = z900::app::ParseOptions(args, error);
  if (!options) {
    std::cerr << "z900-config: " << error << '\n' << z900::app::kUsage << '\n';
    return z900::app::kExitUsage;
  }
  if (const std::optional<int> status = z900::app::RunWithoutWindow(
          *options, z900::platform::ReadPathEnvironment(), std::cout, std::cerr)) {
    return *status;
  }
  // Drawing the gallery needs no desktop.
  if (options->render_folder && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("z900-config"));
  // Dialogs come and go while the window is hidden; only the utility's own end ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  z900::ui::CZ9xMouseConfigApp utility(*options);
  return utility.Run();
}
