#include "config/assignment_menu.h"

#include <algorithm>
#include <optional>

#include "config/function_catalogue.h"
#include "macro/macro_store.h"
#include "platform/text.h"

namespace z900::config {
namespace {

class MenuTable {
 public:
  // Adds an item; returns its index, or -1 when the table is full.
  int Add(std::uint32_t parent, std::uint32_t identifier, std::u16string_view text) {
    if (items_.size() >= static_cast<std::size_t>(kMaxMenuItems)) return -1;
    MenuItemRecord item{};
    item.parent = parent;
    item.identifier = identifier;
    platform::WriteFixedText(item.text, text);
    items_.push_back(item);
    return static_cast<int>(items_.size()) - 1;
  }

  std::vector<MenuItemRecord> Take() { return std::move(items_); }

 private:
  std::vector<MenuItemRecord> items_;
};

struct TopLevelGroup {
  MenuGroup group;
  int index;
};

}  // namespace

MenuVariant MenuVariantOf(int button) {
  if (button == 7) return MenuVariant::kScrollUp;
  if (button == 8) return MenuVariant::kScrollDown;
  return MenuVariant::kStandard;
}

std::vector<MenuItemRecord> BuildAssignmentMenu(MenuVariant variant, platform::KeyStore& store,
                                                const i18n::LanguageStrings& strings,
                                                MacroItemTable& macro_items) {
  macro_items.fill(0);
  const std::vector<std::optional<macro::MacroListEntry>> macros =
      macro::ListMacroPositions(store, kMenuMacroItems);

  MenuTable table;
  if (variant != MenuVariant::kStandard) {
    const FunctionEntry* wheel =
        FindFunctionType(variant == MenuVariant::kScrollUp ? kTypeWheelUp : kTypeWheelDown);
    table.Add(kTopLevelParent, static_cast<std::uint32_t>(wheel->type),
              strings.Get(*wheel->name_key));
  }

  // The top level follows the catalogue: its own entries where they stand, each group where
  // its first function stands.
  std::vector<TopLevelGroup> groups;
  for (const FunctionEntry& entry : FunctionCatalogue()) {
    if (entry.group == MenuGroup::kNotOffered || entry.only_button != 0) continue;
    if (entry.group == MenuGroup::kTopLevel) {
      table.Add(kTopLevelParent, static_cast<std::uint32_t>(entry.type),
                strings.Get(*entry.name_key));
      continue;
    }
    const bool listed = std::any_of(groups.begin(), groups.end(),
                                    [&](const TopLevelGroup& g) { return g.group == entry.group; });
    if (listed || (entry.group == MenuGroup::kMacro && macros.empty())) continue;
    const int index = table.Add(kTopLevelParent, static_cast<std::uint32_t>(entry.group),
                                strings.Get(*MenuGroupNameKey(entry.group)));
    groups.push_back({entry.group, index});
  }

  for (const TopLevelGroup& group : groups) {
    if (group.index < 0) continue;
    const auto parent = static_cast<std::uint32_t>(group.index);
    if (group.group == MenuGroup::kMacro) {
      const std::size_t listed = std::min(macros.size(), std::size_t{kMenuMacroItems});
      for (std::size_t i = 0; i < listed; ++i) {
        if (!macros[i]) continue;
        const auto item = static_cast<std::uint32_t>(i + 1);
        table.Add(parent, item, macros[i]->name);
        macro_items[item] = macros[i]->id;
      }
      if (macros.size() > listed) {
        table.Add(parent, kMoreMacrosItem, strings.Get(i18n::StringKey::str_more));
      }
      continue;
    }
    for (const FunctionEntry& entry : FunctionCatalogue()) {
      if (entry.group != group.group) continue;
      table.Add(parent, static_cast<std::uint32_t>(entry.item), strings.Get(*entry.name_key));
    }
  }
  return table.Take();
}

bool OpensSubMenu(const MenuItemRecord& item) {
  return item.parent == kTopLevelParent && item.identifier <= 0xFFFF &&
         MenuGroupNameKey(static_cast<MenuGroup>(item.identifier)).has_value();
}

std::u16string MenuItemText(const MenuItemRecord& item) {
  return platform::ReadFixedText(item.text);
}

}  // namespace z900::config
