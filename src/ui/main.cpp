// z900-config: the tray utility. "--simulate" runs it against the simulated mouse that
// z900ctl --simulate shares; "--render DIR" draws its gallery offscreen and ends;
// "--autostart on|off" switches starting at login and ends.
#include <QApplication>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/start_utility.h"
#include "ui/config_app.h"

int main(int argc, char** argv) {
  // --help, --version and --autostart need no display. Anything the parser does not know yet
  // may be one of Qt's own options: QApplication takes those out below.
  {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    if (const std::optional<z900::app::Options> options = z900::app::ParseOptions(args, error)) {
      if (const std::optional<int> status = z900::app::RunWithoutWindow(
              *options, z900::platform::ReadPathEnvironment(), std::cout, std::cerr)) {
        return *status;
      }
    }
  }
  // Drawing the gallery needs no desktop.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--render") == 0 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("z900-config"));
  // Dialogs come and go while the window is hidden; only the utility's own end ends it.
  QApplication::setQuitOnLastWindowClosed(false);

  std::vector<std::string> args;
  for (const QString& arg : QCoreApplication::arguments().mid(1)) args.push_back(arg.toStdString());
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
  z900::ui::CZ9xMouseConfigApp utility(*options);
  return utility.Run();
}
