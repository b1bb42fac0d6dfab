#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/xml_document.h"

// The language strings: every text of the user interface, read from language.xml at start-up.
namespace z900::i18n {

// Every key of the language file, in load order: the one list the enumeration and the name
// table are made from.
#define Z900_STRING_KEYS(X) \
  X(str_program_title)      \
  X(str_company)            \
  X(str_config)             \
  X(str_about)              \
  X(str_exit)               \
  X(str_mouse_page)         \
  X(str_msg1)               \
  X(str_msg2)               \
  X(str_msg3)               \
  X(str_msg4)               \
  X(str_msg5)               \
  X(str_msg6)               \
  X(str_msg7)               \
  X(str_resetinfo)          \
  X(str_reset)              \
  X(str_ok)                 \
  X(str_cancel)             \
  X(str_apply)              \
  X(str_help)               \
  X(str_combo_tips)         \
  X(str_combo_title)        \
  X(str_macro_manager)      \
  X(str_macro_msg1)         \
  X(str_macro_msg2)         \
  X(str_macro_msg4)         \
  X(str_macro_msg6)         \
  X(str_macro_msg7)         \
  X(str_macro_msg8)         \
  X(str_macro_end)          \
  X(str_macro_start)        \
  X(str_new_macro)          \
  X(str_del_macro)          \
  X(str_macro_loop)         \
  X(str_macro_delay)        \
  X(str_macro_modify)       \
  X(str_macro_list)         \
  X(str_macro_editor)       \
  X(str_macro_new)          \
  X(str_macro_del)          \
  X(str_macro_event)        \
  X(str_click)              \
  X(str_menu)               \
  X(str_middle)             \
  X(str_dbclick)            \
  X(str_mac_def)            \
  X(str_base_fun)           \
  X(str_combokey)           \
  X(str_advance)            \
  X(str_media)              \
  X(str_pre)                \
  X(str_back)               \
  X(str_scrollup)           \
  X(str_scrolldw)           \
  X(str_PL)                 \
  X(str_stop)               \
  X(str_pre_media)          \
  X(str_next_media)         \
  X(str_vol_up)             \
  X(str_vol_dw)             \
  X(str_mute)               \
  X(str_close)              \
  X(str_lock)               \
  X(str_run)                \
  X(str_show)               \
  X(str_zoomin)             \
  X(str_zoomout)            \
  X(str_cut)                \
  X(str_copy)               \
  X(str_past)               \
  X(str_all)                \
  X(str_find)               \
  X(str_new)                \
  X(str_print)              \
  X(str_save)               \
  X(str_undo)               \
  X(str_dpititle)           \
  X(str_rate)               \
  X(str_probar_title)       \
  X(str_probar_msg1)        \
  X(str_profile_title)      \
  X(str_autopath)           \
  X(str_autoswitch)         \
  X(str_defaultname)        \
  X(str_proname)            \
  X(str_led_title)          \
  X(str_led_off)            \
  X(str_led_breslow)        \
  X(str_led_brefast)        \
  X(str_led_brealways)      \
  X(str_led_breAPM)         \
  X(str_led_normal)         \
  X(str_advanced_open)      \
  X(str_advanced_sound)     \
  X(str_advanced_exe)       \
  X(str_advanced_file)      \
  X(str_advanced_dir)       \
  X(str_advanced_web)       \
  X(str_advanced_address)   \
  X(str_onekeystart)        \
  X(str_screenshot)         \
  X(str_screenshot_screen)  \
  X(str_screenshot_win)     \
  X(str_screenshot_area)    \
  X(str_mousefun)           \
  X(str_win8)               \
  X(str_disable)            \
  X(str_win8_start)         \
  X(str_win8_classic)       \
  X(str_win8_switch)        \
  X(str_win8_find)          \
  X(str_win8_winp)          \
  X(str_win8_winm)          \
  X(str_mode1)              \
  X(str_mode2)              \
  X(str_update)             \
  X(str_update_success)     \
  X(str_update_fail)        \
  X(str_update_msg1)        \
  X(str_update_msg2)        \
  X(str_update_msg3)        \
  X(str_update_msg4)        \
  X(str_updateerror)        \
  X(str_updateerror1)       \
  X(str_updateerror2)       \
  X(str_updating)           \
  X(str_fwrecoverS)         \
  X(str_fwrecoverF)         \
  X(str_profile1)           \
  X(str_profile2)           \
  X(str_profile3)           \
  X(str_profile4)           \
  X(str_profile5)           \
  X(str_fwcurrent_version)  \
  X(str_tips)               \
  X(str_soft_version)       \
  X(str_more)               \
  X(str_profile_changed)    \
  X(str_macro_full)         \
  X(str_macro_hint)         \
  X(str_profile_damaged)    \
  X(str_profile_noread)     \
  X(str_profile_uncreated)  \
  X(str_apply_unacked)      \
  X(str_apply_macros)       \
  X(str_apply_nodpi)        \
  X(str_apply_pending)      \
  X(str_unplugged_write)    \
  X(str_probar_wait)        \
  X(str_lock_timeout)       \
  X(str_autoswitch_match)   \
  X(str_unapplied)          \
  X(str_discard)            \
  X(str_autoswitch_waits)

// One constant per key, named exactly like the element in the language file, so that a
// misspelled key does not compile.
enum class StringKey : std::uint16_t {
#define Z900_STRING_KEY_ENUM(key) key,
  Z900_STRING_KEYS(Z900_STRING_KEY_ENUM)
#undef Z900_STRING_KEY_ENUM
};

inline constexpr std::size_t kStringKeyCount = 0
#define Z900_STRING_KEY_COUNT(key) +1
    Z900_STRING_KEYS(Z900_STRING_KEY_COUNT)
#undef Z900_STRING_KEY_COUNT
    ;
static_assert(kStringKeyCount == 153);

// Element names of the keys, indexed by StringKey.
inline constexpr std::array<std::string_view, kStringKeyCount> kStringKeyNames = {
#define Z900_STRING_KEY_NAME(key) #key,
    Z900_STRING_KEYS(Z900_STRING_KEY_NAME)
#undef Z900_STRING_KEY_NAME
};

constexpr std::string_view StringKeyName(StringKey key) {
  return kStringKeyNames[static_cast<std::size_t>(key)];
}

// The key of an element name, compared exactly; nullopt when no key has that name.
std::optional<StringKey> FindStringKey(std::string_view name);

// The table of texts: each entry empty until loaded. Read-only once start-up has loaded it.
class LanguageStrings {
 public:
  const std::u16string& Get(StringKey key) const { return texts_[static_cast<std::size_t>(key)]; }
  void Set(StringKey key, std::u16string text) {
    texts_[static_cast<std::size_t>(key)] = std::move(text);
  }

 private:
  std::array<std::u16string, kStringKeyCount> texts_;
};

// Loads the file into `document` (which keeps it afterwards) and stores, for every key in load
// order, SectionValue("config", key). A file that cannot be read leaves every entry empty; the
// return value says whether it was read, for callers that report it (start-up does not).
bool LoadLanguageStrings(CXmlDocument& document, const std::filesystem::path& path,
                         LanguageStrings& strings);

// The language file of the program folder: "language_<LANGUAGE>.xml" when `language` (the
// Z900_LANGUAGE setting) names one that exists, otherwise "language.xml". Only letters, digits,
// '_' and '-' are taken from the setting, so it never leaves the folder.
std::filesystem::path LanguageFilePath(const std::filesystem::path& program_folder,
                                       const std::optional<std::string>& language);

// The entries used as printf formats with one text argument: exactly one "%s", and no other
// conversion ("%%" is a literal percent sign).
bool IsFormatKey(StringKey key);
bool HasOneTextPlaceholder(std::u16string_view text);
// Fills such a format: the first "%s" receives `argument`, "%%" becomes "%". Anything else is
// kept as it stands, so a damaged language file cannot make the text read past its argument.
std::u16string FormatText(std::u16string_view format, std::u16string_view argument);

// What is wrong with a language file, one line per problem, for `z900ctl lang check`.
struct LanguageCheck {
  bool readable = false;
  std::u16string encoding;  // as CXmlDocument::Encoding() names it; empty: the ANSI code page
  bool byte_order_mark = false;
  std::vector<std::string> problems;
};
LanguageCheck CheckLanguageFile(CXmlDocument& document, const std::filesystem::path& path);

}  // namespace z900::i18n
