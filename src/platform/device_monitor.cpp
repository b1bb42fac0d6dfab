#include "platform/device_monitor.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>

#include "platform/hid_backend.h"

namespace z900::platform {
namespace {

// The hexadecimal field up to the next '/' (or the end), taken off the front of `text`.
bool TakeHexField(std::string_view& text, std::uint32_t& value) {
  const std::size_t end = std::min(text.find('/'), text.size());
  if (end == 0 || end > 8) return false;
  const auto [rest, error] = std::from_chars(text.data(), text.data() + end, value, 16);
  if (error != std::errc() || rest != text.data() + end) return false;
  text.remove_prefix(end < text.size() ? end + 1 : end);
  return true;
}

}  // namespace

bool IsMouseUsbProduct(std::string_view product) {
  std::uint32_t vendor = 0;
  std::uint32_t model = 0;
  return TakeHexField(product, vendor) && TakeHexField(product, model) &&
         vendor == kMouseVendorId && model == kMouseProductId;
}

bool IsMouseDeviceInterfaceName(std::u16string_view name) {
  char text[32];
  std::snprintf(text, sizeof text, "VID_%04X&PID_%04X", kMouseVendorId, kMouseProductId);
  const std::string_view wanted(text);
  const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c; };
  const auto same = [&](char16_t a, char b) { return upper(a) == static_cast<char16_t>(b); };
  return std::search(name.begin(), name.end(), wanted.begin(), wanted.end(), same) != name.end();
}

}  // namespace z900::platform
