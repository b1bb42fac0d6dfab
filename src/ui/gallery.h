#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "config/app_context.h"

namespace z900::ui {

// What a gallery run produced: every picture written, and what went wrong.
struct GalleryResult {
  std::vector<std::filesystem::path> written;
  std::vector<std::string> errors;
};

// Draws every skinned window in its three states, the dialogs with their texts, each control in
// each of its states and the tray menu, offscreen, into PNG files in `folder`: once at the normal
// size (NAME.png) and once at twice the size (NAME@2x.png). Texts come from `context`'s language
// strings, skin files from its program folder. Every picture is read back: a missing, empty or
// blank one is an error.
GalleryResult RenderGallery(const config::AppContext& context, const std::filesystem::path& folder);

// The render command of the programs: draws the gallery, lists every picture on standard output
// and every failure on standard error (after "PROGRAM: "), and gives the exit status: 0 when
// every picture was written and is not blank, 1 otherwise.
int RenderGalleryCommand(const config::AppContext& context, const std::filesystem::path& folder,
                         const char* program);

}  // namespace z900::ui
