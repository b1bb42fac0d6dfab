#pragma once

#include <gtest/gtest.h>

#include "config/auto_switch.h"
#include "support/config_fixture.h"
#include "support/fake_desktop.h"

namespace z900::config {

using test::FakeForeground;

class AutoSwitchTest : public test::ConfigTest {
 protected:
  // Five profile files named p1 … p5, profile 1 loaded.
  void SetUp() override {
    for (int k = 0; k < kProfileCount; ++k) {
      auto record = std::make_unique<SettingsRecord>();
      BuildDefaultSettings(*record, context.strings);
      platform::WriteFixedText(record->profile_name,
                               u"p" + std::u16string(1, static_cast<char16_t>(u'1' + k)));
      std::vector<std::uint8_t> bytes = RecordBytes(*record);
      bytes.push_back(0);
      std::filesystem::create_directories(ProfilePath(k).parent_path());
      ASSERT_FALSE(platform::WriteFileAtomically(ProfilePath(k), bytes));
    }
    LoadProfiles(context, page, ports);
    mouse.ClearWireLog();
  }

  void Tie(int index, std::u16string_view program, bool on = true) {
    ProfileEntry& entry = context.profiles.entries[index];
    platform::WriteFixedText(entry.program_name, program);
    entry.auto_switch = on ? 1 : 0;
  }

  // Runs one tick with this program in the foreground; returns the loaded profile's name and
  // the number of applies the tick made.
  std::pair<std::u16string, int> Tick(std::u16string_view program) {
    foreground.name = program;
    return Tick(foreground);
  }

  // The same with whatever `app` says is in the foreground.
  std::pair<std::u16string, int> Tick(platform::ForegroundApp& app) {
    mouse.ClearWireLog();
    CheckAutoSwitch(context, page, ports, app);
    int applies = 0;
    for (const auto& report : Sent()) applies += report[1] == 0xA6 && report[2] == 0x02;
    return {platform::ReadFixedText(context.settings.profile_name), applies};
  }

  FakeForeground foreground;
};

}  // namespace z900::config
