#include "config/assignment_choice.h"

#include <optional>

#include "config/assignment_menu.h"
#include "config/function_catalogue.h"
#include "keys/key_names.h"
#include "macro/macro_store.h"
#include "platform/text.h"

namespace z900::config {
namespace {

// The advanced items of the menu; 131 is the folder.
constexpr int kItemSound = 128;
constexpr int kItemProgram = 129;
constexpr int kItemFile = 130;

// The advanced row of an item identifier (128 … 131).
const FunctionEntry* AdvancedRow(int item) {
  for (const FunctionEntry& entry : FunctionCatalogue()) {
    if (entry.rule == CodeRule::kHostAction && entry.item == item) return &entry;
  }
  return nullptr;
}

// Keeps the page's dialog-open flag set while a dialog of the page shows.
template <typename Dialog>
auto WithDialogOpen(SettingsPageModel& page, Dialog dialog) -> decltype(dialog()) {
  page.dialog_open = 1;
  auto result = dialog();
  page.dialog_open = 0;
  return result;
}

class Chooser {
 public:
  Chooser(AppContext& context, SettingsPageModel& page, AssignmentPorts& ports, int mode,
          int button_index)
      : context_(context),
        page_(page),
        ports_(ports),
        mode_(mode),
        button_index_(button_index),
        assignment_(ButtonOf(context.settings, mode, button_index + 1)),
        entry_(page.SelectedEntry(context.profiles)) {}

  bool HostAction(int item) {
    const FunctionEntry* row = AdvancedRow(item);
    if (row == nullptr) return false;
    const std::optional<std::filesystem::path> chosen = WithDialogOpen(page_, [&] {
      switch (item) {
        case kItemSound:
          return ports_.ui.ChooseFile(platform::FileChoice::kSound);
        case kItemProgram:
          return ports_.ui.ChooseFile(platform::FileChoice::kProgram);
        case kItemFile:
          return ports_.ui.ChooseFile(platform::FileChoice::kFile);
        default:
          return ports_.ui.ChooseFolder();
      }
    });
    if (!chosen || chosen->empty()) return false;
    const std::u16string path = platform::Utf8ToUtf16(chosen->string());
    // A path longer than the field would reach the host cut: refused, as a cancel.
    if (!SetHostAction(assignment_, HostActionCode(*row, button_index_), path)) return false;
    assignment_.function_type = kTypeHostAction;
    platform::WriteFixedText(assignment_.display_name, path);
    return true;
  }

  bool Combination() {
    const std::optional<platform::ComboKeyChoice> choice =
        WithDialogOpen(page_, [&] { return ports_.ui.ChooseComboKey(); });
    if (!choice) return false;
    const ComboKeyBlock block = MakeComboKeyBlock(choice->display_mask, choice->key_code);
    if (block.display_mask == 0 && block.key == 0) return false;
    assignment_.function_type = kTypeCombo;
    SetCombo(assignment_, block);
    platform::WriteFixedText(
        assignment_.display_name,
        keys::FormatKeyCombination(block.display_mask, block.key, true, ports_.layout));
    return true;
  }

  // The macro of a menu item 1 … 20, or, for "more", the one the chooser returns.
  bool Macro(int item, std::uint32_t old_reference) {
    if (entry_ == nullptr) return false;
    std::uint32_t id = 0;
    std::uint32_t reference = 0;
    if (item == kMoreMacrosItem) {
      const std::optional<platform::MacroChoice> choice = WithDialogOpen(
          page_, [&] { return ports_.ui.ChooseMacro(static_cast<int>(old_reference)); });
      if (!choice || choice->position <= 0) return false;
      id = choice->id;
      reference = static_cast<std::uint32_t>(choice->position);
    } else if (item >= 1 && item <= kMenuMacroItems) {
      id = page_.macro_item_table[item];
      reference = static_cast<std::uint32_t>(item);
    }
    if (id == 0) return false;
    const std::optional<macro::MacroRecord> stored = macro::LoadMacro(ports_.store, id);
    if (!stored) return false;
    assignment_.function_type = kTypeMacro;
    MacroIdOf(*entry_, mode_, button_index_ + 1) = id;
    assignment_.macro_reference = reference;
    platform::WriteFixedText(assignment_.display_name, macro::MacroName(*stored));
    return true;
  }

  // A function offered in `category`: a group's sub-item, or a top-level item of its own.
  bool Simple(int type, MenuGroup category) {
    const FunctionEntry* row = FindFunctionType(type);
    if (row == nullptr || row->group != category || row->rule != CodeRule::kFixed ||
        !WheelTypeFits(type, button_index_ + 1)) {
      return false;
    }
    assignment_.function_type = type;
    platform::WriteFixedText(assignment_.display_name, FunctionDisplayName(type, context_.strings));
    return true;
  }

 private:
  AppContext& context_;
  SettingsPageModel& page_;
  AssignmentPorts& ports_;
  const int mode_;
  const int button_index_;
  ButtonAssignment& assignment_;
  ProfileEntry* entry_;
};

}  // namespace

void BeginAssignmentChoice(const AppContext& context, SettingsPageModel& page, int button) {
  page.current_button = button - 1;
  page.current_button_mode = context.current_mode;
}

bool HandleAssignmentChoice(AppContext& context, SettingsPageModel& page, AssignmentPorts& ports,
                            int item, int category) {
  const int button_index = page.current_button;
  const int mode = page.current_button_mode;
  if (button_index < 0 || button_index >= kButtonCount || mode < 0 || mode >= kModeCount) {
    return false;
  }
  item &= 0xFFFF;
  category &= 0xFFFF;
  // Asked as for a change to a function other than the click: the only left-click button
  // stays as it is whatever was chosen, the click included.
  if (!KeepsLeftClick(context.settings, mode, button_index + 1, /*new_type=*/0)) {
    ShowMessage(context, ports.ui, context.Text(i18n::StringKey::str_msg1), false);
    return false;
  }

  // The macro fields describe the button's macro only while it plays one: cleared for the
  // choice, and put back when the choice ends without an assignment.
  ButtonAssignment& assignment = ButtonOf(context.settings, mode, button_index + 1);
  ProfileEntry* entry = page.SelectedEntry(context.profiles);
  const std::uint32_t old_reference = assignment.macro_reference;
  const std::uint32_t old_macro_id =
      entry == nullptr ? 0 : MacroIdOf(*entry, mode, button_index + 1);
  if (entry != nullptr) MacroIdOf(*entry, mode, button_index + 1) = 0;
  assignment.macro_reference = 0;

  // Whatever the current mode becomes while a dialog shows, the choice stays with this button.
  Chooser chooser(context, page, ports, mode, button_index);
  bool assigned = false;
  switch (static_cast<MenuGroup>(category)) {
    case MenuGroup::kAdvanced:
      assigned = chooser.HostAction(item);
      break;
    case MenuGroup::kMacro:
      assigned = chooser.Macro(item, old_reference);
      break;
    case MenuGroup::kMouse:
    case MenuGroup::kBasic:
    case MenuGroup::kMedia:
    case MenuGroup::kScreenshot:
    case MenuGroup::kWin8:
      assigned = chooser.Simple(item, static_cast<MenuGroup>(category));
      break;
    default:
      if (category == kTypeCombo) {
        assigned = chooser.Combination();
      } else {
        assigned = chooser.Simple(category, MenuGroup::kTopLevel);
      }
  }

  if (!assigned) {
    assignment.macro_reference = old_reference;
    if (entry != nullptr) MacroIdOf(*entry, mode, button_index + 1) = old_macro_id;
    return false;
  }
  page.current_button = -1;
  return true;
}

}  // namespace z900::config
