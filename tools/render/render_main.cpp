// z900-render DIR: draws every window, dialog, control state and the tray menu offscreen into
// PNG files in DIR, at the normal size and at twice it, for review without a desktop. Exit
// status 0 when every picture was written and is not blank, 1 otherwise, 2 on a usage error.
#include <QApplication>
#include <cstdio>

#include "config/app_context.h"
#include "i18n/language_strings.h"
#include "i18n/xml_document.h"
#include "platform/program_paths.h"
#include "ui/gallery.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: z900-render DIR\n");
    return 2;
  }
  // Offscreen unless the caller chose a platform: no desktop is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  z900::config::AppContext context;
  context.paths = z900::platform::ResolveProgramPaths(z900::platform::ReadPathEnvironment());
  z900::i18n::CXmlDocument document;
  const std::filesystem::path language = z900::i18n::LanguageFilePath(
      context.paths.module_directory, z900::platform::EnvironmentValue("Z900_LANGUAGE"));
  if (!z900::i18n::LoadLanguageStrings(document, language, context.strings)) {
    std::fprintf(stderr, "z900-render: warning: cannot read %s; texts will be empty\n",
                 language.string().c_str());
  }

  return z900::ui::RenderGalleryCommand(context, argv[1], "z900-render");
}
