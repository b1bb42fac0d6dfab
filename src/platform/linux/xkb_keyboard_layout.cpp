#include "platform/linux/xkb_keyboard_layout.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <vector>

#include "platform/file_io.h"
#include "platform/linux/evdev_key_map.h"
#include "platform/program_paths.h"

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

// The unshifted characters of every keycode in the given layout group.
std::unique_ptr<KeyboardLayout> LayoutOfKeymap(xkb_keymap* keymap, xkb_layout_index_t group) {
  State state(xkb_state_new(keymap));
  if (!state) return nullptr;
  xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, group);
  std::array<char32_t, 256> characters{};
  for (xkb_keycode_t keycode = kEvdevOffset; keycode < characters.size(); ++keycode) {
    const char32_t c = xkb_state_key_get_utf32(state.get(), keycode);
    characters[keycode] = IsPrintable(c) ? c : 0;
  }
  return std::make_unique<XkbKeyboardLayout>(characters);
}

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

std::unique_ptr<KeyboardLayout> CreateXkbLayoutFromNames(const XkbNames& names, std::string& why) {
  Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
  if (!context) {
    why = "xkbcommon could not start";
    return nullptr;
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
    return nullptr;
  }
  auto layout = LayoutOfKeymap(keymap.get(), 0);
  if (!layout) why = "xkbcommon could not make a keyboard state";
  return layout;
}

std::unique_ptr<KeyboardLayout> CreateXServerLayout(std::string& why) {
  if (!EnvironmentValue("DISPLAY")) {
    why = "no X display";
    return nullptr;
  }
  std::unique_ptr<xcb_connection_t, ConnectionDeleter> connection(xcb_connect(nullptr, nullptr));
  if (!connection || xcb_connection_has_error(connection.get()) != 0) {
    why = "the X display does not answer";
    return nullptr;
  }
  if (xkb_x11_setup_xkb_extension(
          connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
    why = "the X server has no XKB extension";
    return nullptr;
  }
  const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
  Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
  if (device < 0 || !context) {
    why = "the X server has no core keyboard";
    return nullptr;
  }
  Keymap keymap(xkb_x11_keymap_new_from_device(context.get(), connection.get(), device,
                                               XKB_KEYMAP_COMPILE_NO_FLAGS));
  State current(keymap ? xkb_x11_state_new_from_device(keymap.get(), connection.get(), device)
                       : nullptr);
  if (!current) {
    why = "the X server's keymap cannot be read";
    return nullptr;
  }
  // The layout group the user has switched to, without the modifiers held right now.
  const xkb_layout_index_t group =
      xkb_state_serialize_layout(current.get(), XKB_STATE_LAYOUT_EFFECTIVE);
  auto layout = LayoutOfKeymap(keymap.get(), group);
  if (!layout) why = "xkbcommon could not make a keyboard state";
  return layout;
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

std::unique_ptr<KeyboardLayout> CreateSystemKeyboardLayout(std::string& why) {
  std::string x_why;
  if (auto layout = CreateXServerLayout(x_why)) return layout;
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
  if (auto layout = CreateXkbLayoutFromNames(names, names_why)) return layout;
  why = x_why + "; " + names_why;
  return nullptr;
}

}  // namespace z900::platform
