#include "platform/text.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace z900::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  // Sized for the worst case (one unit per byte) and cut to length at the end: cheaper than
  // growing, and a document of plain ASCII is copied eight bytes at a time.
  std::u16string out(text.size(), u'\0');
  char16_t* to = out.data();
  const auto* from = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = from + text.size();
  while (from < end) {
#if defined(__SSE2__)
    // Sixteen ASCII bytes at a time, widened with zero high bytes.
    while (end - from >= 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
      if (_mm_movemask_epi8(block) != 0) break;
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(block, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(block, zero));
      to += 16;
      from += 16;
    }
#endif
    while (end - from >= 8) {
      std::uint64_t block;
      std::memcpy(&block, from, 8);
      if ((block & 0x8080808080808080ULL) != 0) break;
      for (int k = 0; k < 8; ++k) to[k] = from[k];
      to += 8;
      from += 8;
    }
    if (from == end) break;
    const unsigned char lead = *from;
    if (lead < 0x80) {
      *to++ = lead;
      ++from;
      continue;
    }
    // Length and the allowed range of the second byte, which rules out over-long forms,
    // surrogates and values past U+10FFFF (the table of well-formed sequences of Unicode).
    int extra = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, c = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      *to++ = static_cast<char16_t>(kReplacement);
      ++from;
      continue;
    }
    // A broken sequence yields one replacement for its valid start (its "maximal subpart");
    // the byte that broke it is read again as the start of what follows.
    const unsigned char* next = from + 1;
    bool complete = true;
    for (int k = 0; k < extra; ++k, ++next) {
      if (next == end || *next < low || *next > high) {
        complete = false;
        break;
      }
      c = (c << 6) | (*next & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    from = next;
    if (!complete) {
      *to++ = static_cast<char16_t>(kReplacement);
    } else if (c < 0x10000) {
      *to++ = static_cast<char16_t>(c);
    } else {
      c -= 0x10000;
      *to++ = static_cast<char16_t>(0xD800 + (c >> 10));
      *to++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
  return out;
}

std::optional<std::uint64_t> ParseUnsignedNumber(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace z900::platform
