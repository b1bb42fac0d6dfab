#include "platform/linux/xkb_keyboard_layout.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <utility>
#include <vector>

#include "platform/file_io.h"
#include "platform/linux/evdev_key_map.h"
#include "platform/program_paths.h"
#include "platform/virtual_key.h"

namespace z900::platform {
namespace {

constexpr xkb_keycode_t kEvdevOffset = 8;  // X keycode = evdev code + 8

struct ContextDeleter {
  void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapDeleter {
  void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateDeleter {
  void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
struct ConnectionDeleter {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Context = std::unique_ptr<xkb_context, ContextDeleter>;
using Keymap = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using State = std::unique_ptr<xkb_state, StateDeleter>;

bool IsPrintable(char32_t c) {
  return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && c <= 0x10FFFF &&
         !(c >= 0xD800 && c < 0xE000);
}

// What every keycode gives in the given layout group with no modifier held.
std::optional<XkbKeyTable> KeyTableOfKeymap(xkb_keymap* keymap, xkb_layout_index_t group,
                                            std::string& why) {
  State state(xkb_state_new(keymap));
  if (!state) {
    why = "xkbcommon could not make a keyboard state";
    return std::nullopt;
  }
  xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, group);
  XkbKeyTable table;
  for (xkb_keycode_t keycode = kEvdevOffset; keycode < table.characters.size(); ++keycode) {
    const char32_t c = xkb_state_key_get_utf32(state.get(), keycode);
    table.characters[keycode] = IsPrintable(c) ? c : 0;
    const xkb_keysym_t* keysyms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, keycode, group, 0, &keysyms) > 0) {
      table.keysyms[keycode] = keysyms[0];
    }
  }
  return table;
}

// Function keys by keysym; everything else goes by position.
constexpr std::pair<xkb_keysym_t, std::uint32_t> kFunctionKeysyms[] = {
    {XKB_KEY_Shift_L, kVkLShift},
    {XKB_KEY_Shift_R, kVkRShift},
    {XKB_KEY_Control_L, kVkLControl},
    {XKB_KEY_Control_R, kVkRControl},
    {XKB_KEY_Alt_L, kVkLMenu},
    {XKB_KEY_Meta_L, kVkLMenu},
    {XKB_KEY_Alt_R, kVkRMenu},
    {XKB_KEY_Meta_R, kVkRMenu},
    {XKB_KEY_ISO_Level3_Shift, kVkRMenu},  // AltGr, the right Alt of layouts that use it
    {XKB_KEY_Super_L, kVkLWin},
    {XKB_KEY_Super_R, kVkRWin},
    {XKB_KEY_Caps_Lock, kVkCapital},
    {XKB_KEY_Num_Lock, kVkNumLock},
    {XKB_KEY_Scroll_Lock, kVkScroll},
    {XKB_KEY_Escape, kVkEscape},
    {XKB_KEY_Return, kVkReturn},
    {XKB_KEY_Tab, kVkTab},
    {XKB_KEY_ISO_Left_Tab, kVkTab},
    {XKB_KEY_BackSpace, kVkBack},
    {XKB_KEY_space, kVkSpace},
    {XKB_KEY_Delete, kVkDelete},
    {XKB_KEY_Insert, kVkInsert},
    {XKB_KEY_Home, kVkHome},
    {XKB_KEY_End, kVkEnd},
    {XKB_KEY_Prior, kVkPrior},
    {XKB_KEY_Next, kVkNext},
    {XKB_KEY_Left, kVkLeft},
    {XKB_KEY_Up, kVkUp},
    {XKB_KEY_Right, kVkRight},
    {XKB_KEY_Down, kVkDown},
    {XKB_KEY_Print, kVkSnapshot},
    {XKB_KEY_Pause, kVkPause},
    {XKB_KEY_Menu, kVkApps},
};

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// The value of KEY=VALUE or KEY="VALUE" on a line of a shell-style settings file.
std::string_view Unquote(std::string_view value) {
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) {
    value.remove_suffix(1);
  }
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

XkbKeyboardLayout::XkbKeyboardLayout(const std::array<char32_t, 256>& characters)
    : characters_(characters) {}

std::optional<char32_t> XkbKeyboardLayout::UnshiftedCharacter(std::uint32_t virtual_key) const {
  const std::optional<std::uint32_t> evdev = EvdevCodeOfVirtualKey(virtual_key);
  if (!evdev || *evdev + kEvdevOffset >= characters_.size()) return std::nullopt;
  const char32_t c = characters_[*evdev + kEvdevOffset];
  if (c == 0) return std::nullopt;
  return c;
}

std::optional<std::uint32_t> VirtualKeyOfFunctionKeysym(std::uint32_t keysym) {
  if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24) return kVkF1 + (keysym - XKB_KEY_F1);
  for (const auto& [function_keysym, virtual_key] : kFunctionKeysyms) {
    if (function_keysym == keysym) return virtual_key;
  }
  return std::nullopt;
}

XkbKeyTranslator::XkbKeyTranslator(const std::array<std::uint32_t, 256>& keysyms) {
  for (std::uint32_t keycode = kEvdevOffset; keycode < virtual_keys_.size(); ++keycode) {
    std::optional<std::uint32_t> key = VirtualKeyOfFunctionKeysym(keysyms[keycode]);
    if (!key) key = VirtualKeyOfEvdevCode(keycode - kEvdevOffset);
    virtual_keys_[keycode] = key.value_or(0);
  }
}

std::optional<std::uint32_t> XkbKeyTranslator::VirtualKeyOf(std::uint32_t keycode) const {
  if (keycode >= virtual_keys_.size() || virtual_keys_[keycode] == 0) return std::nullopt;
  return virtual_keys_[keycode];
}

std::optional<XkbKeyTable> XkbKeyTableFromNames(const XkbNames& names, std::string& why) {
  Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
  if (!context) {
    why = "xkbcommon could not start";
    return std::nullopt;
  }
  xkb_rule_names rule_names{};
  rule_names.rules = OrNull(names.rules);
  rule_names.model = OrNull(names.model);
  rule_names.layout = OrNull(names.layout);
  rule_names.variant = OrNull(names.variant);
  rule_names.options = OrNull(names.options);
  Keymap keymap(xkb_keymap_new_from_names(context.get(), &rule_names, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) {
    why = "no keymap for the keyboard layout \"" + names.layout + "\"";
    return std::nullopt;
  }
  return KeyTableOfKeymap(keymap.get(), 0, why);
}

std::optional<XkbKeyTable> XkbKeyTableFromXServer(std::string& why) {
  if (!EnvironmentValue("DISPLAY")) {
    why = "no X display";
    return std::nullopt;
  }
  std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection(xcb_connect(nullptr, nullptr));
  if (!connection || xcb_connection_has_error(connection.get()) != 0) {
    why = "the X display does not answer";
    return std::nullopt;
  }
  if (xkb_x11_setup_xkb_extension(
          connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
    why = "the X server has no XKB extension";
    return std::nullopt;
  }
  const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
  Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
  if (device < 0 || !context) {
    why = "the X server has no core keyboard";
    return std::nullopt;
  }
  Keymap keymap(xkb_x11_keymap_new_from_device(context.get(), connection.get(), device,
                                               XKB_KEYMAP_COMPILE_NO_FLAGS));
  State current(keymap ? xkb_x11_state_new_from_device(keymap.get(), connection.get(), device)
                       : nullptr);
  if (!current) {
    why = "the X server's keymap cannot be read";
    return std::nullopt;
  }
  // The layout group the user has switched to, without the modifiers held right now.
  const xkb_layout_index_t group =
      xkb_state_serialize_layout(current.get(), XKB_STATE_LAYOUT_EFFECTIVE);
  return KeyTableOfKeymap(keymap.get(), group, why);
}

XkbNames ParseDefaultKeyboardFile(std::string_view text) {
  XkbNames names;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.starts_with("export ")) line.remove_prefix(7);
    const std::size_t equals = line.find('=');
    if (line.starts_with('#') || equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string value(Unquote(line.substr(equals + 1)));
    if (key == "XKBMODEL") names.model = value;
    if (key == "XKBLAYOUT") names.layout = value;
    if (key == "XKBVARIANT") names.variant = value;
    if (key == "XKBOPTIONS") names.options = value;
  }
  return names;
}

std::optional<XkbKeyTable> SystemXkbKeyTable(std::string& why) {
  std::string x_why;
  if (auto table = XkbKeyTableFromXServer(x_why)) return table;
  // No X server (a console, or a Wayland session without X): the system's default keyboard,
  // as the XKB_DEFAULT_* variables or else /etc/default/keyboard name it.
  XkbNames names;
  const char* variables[] = {"XKB_DEFAULT_RULES", "XKB_DEFAULT_MODEL", "XKB_DEFAULT_LAYOUT",
                             "XKB_DEFAULT_VARIANT", "XKB_DEFAULT_OPTIONS"};
  std::string* fields[] = {&names.rules, &names.model, &names.layout, &names.variant,
                           &names.options};
  bool from_environment = false;
  for (std::size_t i = 0; i < std::size(variables); ++i) {
    if (auto value = EnvironmentValue(variables[i])) {
      *fields[i] = *value;
      from_environment = true;
    }
  }
  std::vector<std::uint8_t> bytes;
  if (!from_environment && !ReadWholeFile("/etc/default/keyboard", std::size_t{64} * 1024, bytes)) {
    names = ParseDefaultKeyboardFile(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  std::string names_why;
  if (auto table = XkbKeyTableFromNames(names, names_why)) return table;
  why = x_why + "; " + names_why;
  return std::nullopt;
}

namespace {

std::unique_ptr<KeyboardLayout> LayoutOf(const std::optional<XkbKeyTable>& table) {
  if (!table) return nullptr;
  return std::make_unique<XkbKeyboardLayout>(table->characters);
}

}  // namespace

std::unique_ptr<KeyboardLayout> CreateXkbLayoutFromNames(const XkbNames& names, std::string& why) {
  return LayoutOf(XkbKeyTableFromNames(names, why));
}

std::unique_ptr<KeyboardLayout> CreateXServerLayout(std::string& why) {
  return LayoutOf(XkbKeyTableFromXServer(why));
}

std::unique_ptr<KeyboardLayout> CreateSystemKeyboardLayout(std::string& why) {
  return LayoutOf(SystemXkbKeyTable(why));
}

std::unique_ptr<KeyTranslator> CreateSystemKeyTranslator(std::string& why) {
  const std::optional<XkbKeyTable> table = SystemXkbKeyTable(why);
  return std::make_unique<XkbKeyTranslator>(table ? table->keysyms
                                                  : std::array<std::uint32_t, 256>{});
}

}  // namespace z900::platform
