#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/app_context.h"
#include "config/config_ports.h"
#include "config/profile_files.h"
#include "config/profiles.h"
#include "config/settings_page_model.h"
#include "macro/macro_rows.h"
#include "macro/macro_store.h"
#include "platform/memory_key_store.h"
#include "platform/program_paths.h"
#include "platform/text.h"
#include "support/scripted_ui_port.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

namespace z900::test {

// The configuration over a simulated mouse on virtual time, a key store in memory, a scripted
// user and profile files in a temporary folder. Every language text is its key's name, except
// the two formats, which read "missing %s" and "not a profile %s".
class ConfigTest : public SimMouseTest {
 protected:
  ConfigTest() {
    platform::PathEnvironment env;
    env.z900_home = folder.path();
    context.paths = platform::ResolveProgramPaths(env);
    for (std::size_t k = 0; k < i18n::kStringKeyCount; ++k) {
      const auto key = static_cast<i18n::StringKey>(k);
      context.strings.Set(key, platform::Utf8ToUtf16(i18n::StringKeyName(key)));
    }
    context.strings.Set(i18n::StringKey::str_msg2, u"missing %s");
    context.strings.Set(i18n::StringKey::str_msg3, u"not a profile %s");
    page.mouse_handle = std::move(handle);
  }

  std::filesystem::path ProfilePath(int index) const {
    return config::ProfileFilePath(context.paths, index);
  }
  std::string ProfileText(int index) const { return ProfilePath(index).string(); }

  // Stores a macro of `presses` presses and releases of A with 10 ms between them.
  void StoreMacro(std::uint32_t id, std::u16string_view name, int presses = 1) {
    std::vector<macro::MacroRow> rows;
    for (int i = 0; i < presses; ++i) {
      rows.push_back(macro::KeyRow(macro::kRowKeyDown, 'A'));
      rows.push_back(macro::DelayRow(10));
      rows.push_back(macro::KeyRow(macro::kRowKeyUp, 'A'));
      rows.push_back(macro::DelayRow(10));
    }
    const macro::MacroBuild built = macro::BuildMacroRecord(rows, id, name, u"1");
    ASSERT_TRUE(macro::SaveMacro(store, built.record));
  }

  TempFolder folder;
  config::AppContext context;
  config::SettingsPageModel page;
  platform::MemoryKeyStore store;
  ScriptedUiPort ui;
  // Set by a test to fail profile-file operations, or to stop a write before its rename.
  config::ProfileFiles::FaultProbe fault;
  platform::AtomicWriteProbe before_rename;
  config::ProfileFiles files{
      [this](config::ProfileFiles::Operation op, const std::filesystem::path& path) {
        return fault ? fault(op, path) : std::error_code();
      },
      [this] { return before_rename ? before_rename() : true; }};
  config::ConfigPorts ports{channel, store, ui, files};
};

}  // namespace z900::test
