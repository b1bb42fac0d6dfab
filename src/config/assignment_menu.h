#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "config/settings_page_model.h"
#include "i18n/language_strings.h"
#include "platform/key_store.h"

// The assignment menu of a button: the table of items the skinned menu shows, built from the
// function catalogue and the stored macros.
namespace z900::config {

// Item texts hold at most this many units; longer texts are cut.
inline constexpr std::size_t kMenuTextUnits = 39;
inline constexpr int kMaxMenuItems = 200;
// The parent of a top-level item.
inline constexpr std::uint32_t kTopLevelParent = 0xFF;
// The last entry of the macro sub-menu when more macros are stored than it lists.
inline constexpr int kMoreMacrosItem = 132;

// One item of the menu table, as the menu component takes it (88 bytes, little-endian).
struct MenuItemRecord {
  std::uint32_t parent;      // index of the item's top-level item; 0xFF for a top-level item
  std::uint32_t identifier;  // a top-level item's category, or a sub-item's item identifier
  char16_t text[kMenuTextUnits + 1];
};
static_assert(std::is_trivially_copyable_v<MenuItemRecord>);
static_assert(sizeof(MenuItemRecord) == 88);
static_assert(offsetof(MenuItemRecord, parent) == 0);
static_assert(offsetof(MenuItemRecord, identifier) == 4);
static_assert(offsetof(MenuItemRecord, text) == 8);

// Buttons 1 … 6 get the standard menu; button 7 offers the wheel up first, button 8 the wheel
// down.
enum class MenuVariant { kStandard, kScrollUp, kScrollDown };
MenuVariant MenuVariantOf(int button);

// The menu table: the top-level items in menu order (the combination key, the macros when any
// is stored, the six groups, one-key start, disable; the wheel item first in the scroll
// variants), then the sub-items grouped by parent in the order of their parents. The macro
// sub-menu lists the first 20 stored macros by their position in the store (identifier =
// position, so an unlistable record leaves a gap) and ends with "more" when there are more;
// `macro_items` receives the id of each listed macro at its identifier and 0 elsewhere.
std::vector<MenuItemRecord> BuildAssignmentMenu(MenuVariant variant, platform::KeyStore& store,
                                                const i18n::LanguageStrings& strings,
                                                MacroItemTable& macro_items);

// Whether an item opens a sub-menu: every group's top-level item does, also one whose sub-menu
// is empty (the macros when no stored record can be listed), which is never a choice itself.
bool OpensSubMenu(const MenuItemRecord& item);

// The text of an item as the menu shows it.
std::u16string MenuItemText(const MenuItemRecord& item);

}  // namespace z900::config
