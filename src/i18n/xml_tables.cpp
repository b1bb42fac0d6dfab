#include "i18n/xml_tables.h"

#include <array>
#include <type_traits>
#include <utility>

namespace z900::i18n {
namespace {

constexpr EncodingName kEncodingNames[] = {
    // 37
    {"ebcdic-cp-us", 37},
    // 420
    {"x-ebcdic-arabic", 420},
    // 437
    {"437", 437},
    {"codepage437", 437},
    {"cp437", 437},
    {"cspc8", 437},
    {"ibm437", 437},
    // 708
    {"asmo-708", 708},
    // 720
    {"dos-720", 720},
    // 737
    {"ibm737", 737},
    // 775
    {"cp500", 775},
    {"ibm775", 775},
    // 850
    {"ibm850", 850},
    // 852
    {"cp852", 852},
    {"ibm852", 852},
    // 857
    {"ibm857", 857},
    // 861
    {"ibm861", 861},
    // 862
    {"dos-862", 862},
    // 866
    {"cp866", 866},
    {"ibm866", 866},
    // 869
    {"ibm869", 869},
    // 870
    {"cp870", 870},
    // 874
    {"dos-874", 874},
    {"iso-8859-11", 874},
    {"tis-620", 874},
    {"windows-874", 874},
    // 875
    {"x-ebcdic-greekmodern", 875},
    // 932
    {"csshiftjis", 932},
    {"cswindows31j", 932},
    {"ms_kanji", 932},
    {"shift-jis", 932},
    {"shift_jis", 932},
    {"x-ms-cp932", 932},
    {"x-sjis", 932},
    // 936
    {"chinese", 936},
    {"cn-gb", 936},
    {"csgb2312", 936},
    {"csgb231280", 936},
    {"csiso58gb231280", 936},
    {"gb2312", 936},
    {"gb2312-80", 936},
    {"gb231280", 936},
    {"gb_2312-80", 936},
    {"gbk", 936},
    {"iso-ir-58", 936},
    // 949
    {"csksc56011987", 949},
    {"euc-kr", 949},
    {"iso-ir-149", 949},
    {"korean", 949},
    {"ks_c_5601", 949},
    {"ks_c_5601-1987", 949},
    {"ks_c_5601-1989", 949},
    {"ks_c_5601_1987", 949},
    {"ksc5601", 949},
    {"ksc_5601", 949},
    // 950
    {"big5", 950},
    {"cn-big5", 950},
    {"csbig5", 950},
    {"x-x-big5", 950},
    // 1026
    {"cp1026", 1026},
    // 1140
    {"x-ebcdic-cp-us-euro", 1140},
    // 1142
    {"x-ebcdic-denmarknorway-euro", 1142},
    // 1143
    {"x-ebcdic-finlandsweden-euro", 1143},
    {"x-ebcdic-france", 1143},
    {"x-ebcdic-germany-euro", 1143},
    // 1144
    {"x-ebcdic-italy-euro", 1144},
    // 1145
    {"x-ebcdic-spain-euro", 1145},
    // 1146
    {"x-ebcdic-uk-euro", 1146},
    // 1147
    {"x-ebcdic-france-euro", 1147},
    // 1148
    {"x-ebcdic-international-euro", 1148},
    // 1149
    {"x-ebcdic-icelandic-euro", 1149},
    // 1200
    {"unicode", 1200},
    {"utf-16", 1200},
    // 1201
    {"unicodefffe", 1201},
    // 1250
    {"windows-1250", 1250},
    {"x-cp1250", 1250},
    // 1251
    {"windows-1251", 1251},
    {"x-cp1251", 1251},
    // 1252
    {"iso-ir-6", 1252},
    {"us", 1252},
    {"windows-1252", 1252},
    {"x-ansi", 1252},
    // 1253
    {"windows-1253", 1253},
    // 1254
    {"windows-1254", 1254},
    // 1255
    {"iso_8859-8-i", 1255},
    {"windows-1255", 1255},
    // 1256
    {"cp1256", 1256},
    {"windows-1256", 1256},
    // 1257
    {"windows-1257", 1257},
    // 1258
    {"windows-1258", 1258},
    // 1361
    {"johab", 1361},
    // 10000
    {"macintosh", 10000},
    // 10001
    {"x-mac-japanese", 10001},
    // 10002
    {"x-mac-chinesetrad", 10002},
    // 10003
    {"x-mac-korean", 10003},
    // 10004
    {"x-mac-arabic", 10004},
    // 10005
    {"x-mac-hebrew", 10005},
    // 10006
    {"x-mac-greek", 10006},
    // 10007
    {"x-mac-cyrillic", 10007},
    // 10008
    {"x-mac-chinesesimp", 10008},
    // 10029
    {"x-mac-ce", 10029},
    // 10079
    {"x-mac-icelandic", 10079},
    // 10081
    {"x-mac-turkish", 10081},
    // 20000
    {"x-chinese-cns", 20000},
    // 20002
    {"x-chinese-eten", 20002},
    // 20105
    {"x-ia5", 20105},
    // 20106
    {"x-ia5-german", 20106},
    // 20107
    {"x-ia5-swedish", 20107},
    // 20108
    {"x-ia5-norwegian", 20108},
    // 20127
    {"ansi_x3.4-1968", 20127},
    {"ansi_x3.4-1986", 20127},
    {"ascii", 20127},
    {"cp367", 20127},
    {"csascii", 20127},
    {"ibm367", 20127},
    {"iso-ir-6us", 20127},
    {"iso646-us", 20127},
    {"iso_646.irv:1991", 20127},
    {"us-ascii", 20127},
    // 20273
    {"x-ebcdic-germany", 20273},
    // 20277
    {"x-ebcdic-denmarknorway", 20277},
    // 20278
    {"x-ebcdic-finlandsweden", 20278},
    // 20280
    {"x-ebcdic-italy", 20280},
    // 20284
    {"x-ebcdic-spain", 20284},
    // 20285
    {"x-ebcdic-uk", 20285},
    // 20290
    {"x-ebcdic-japanesekatakana", 20290},
    // 20423
    {"x-ebcdic-greek", 20423},
    // 20424
    {"x-ebcdic-hebrew", 20424},
    // 20833
    {"x-ebcdic-koreanextended", 20833},
    // 20838
    {"x-ebcdic-thai", 20838},
    // 20866
    {"cskoi8r", 20866},
    {"koi", 20866},
    {"koi8", 20866},
    {"koi8-r", 20866},
    {"koi8r", 20866},
    // 20873
    {"x-ebcdic-icelandic", 20873},
    // 20880
    {"x-ebcdic-cyrillicrussian", 20880},
    // 20905
    {"x-ebcdic-turkish", 20905},
    // 21025
    {"x-ebcdic-cyrillicserbianbulgarian", 21025},
    // 21866
    {"koi8-ru", 21866},
    {"koi8-u", 21866},
    // 28591
    {"cp819", 28591},
    {"ibm819", 28591},
    {"iso-8859-1", 28591},
    {"iso-ir-100", 28591},
    {"iso8859-1", 28591},
    {"iso_8859-1", 28591},
    {"iso_8859-1:1987", 28591},
    {"l1", 28591},
    {"latin1", 28591},
    // 28592
    {"csisolatin2", 28592},
    {"iso-8859-2", 28592},
    {"iso-ir-101", 28592},
    {"iso8859-2", 28592},
    {"iso_8859-2", 28592},
    {"iso_8859-2:1987", 28592},
    {"l2", 28592},
    {"latin2", 28592},
    // 28593
    {"csiso", 28593},
    {"iso-8859-3", 28593},
    {"iso-ir-109", 28593},
    {"iso_8859-3", 28593},
    {"iso_8859-3:1988", 28593},
    {"l3", 28593},
    {"latin3", 28593},
    // 28594
    {"csisolatin4", 28594},
    {"iso-8859-4", 28594},
    {"iso-ir-110", 28594},
    {"iso_8859-4", 28594},
    {"iso_8859-4:1988", 28594},
    {"l4", 28594},
    {"latin4", 28594},
    // 28595
    {"csisolatin5", 28595},
    {"csisolatincyrillic", 28595},
    {"cyrillic", 28595},
    {"iso-8859-5", 28595},
    {"iso-ir-144", 28595},
    {"iso_8859-5", 28595},
    {"iso_8859-5:1988", 28595},
    {"l5", 28595},
    // 28596
    {"arabic", 28596},
    {"csisolatinarabic", 28596},
    {"ecma-114", 28596},
    {"iso-8859-6", 28596},
    {"iso-ir-127", 28596},
    {"iso_8859-6", 28596},
    {"iso_8859-6:1987", 28596},
    // 28597
    {"csisolatingreek", 28597},
    {"ecma-118", 28597},
    {"elot_928", 28597},
    {"greek", 28597},
    {"greek8", 28597},
    {"iso-8859-7", 28597},
    {"iso-ir-126", 28597},
    {"iso_8859-7", 28597},
    {"iso_8859-7:1987", 28597},
    // 28598
    {"csisolatinhebrew", 28598},
    {"hebrew", 28598},
    {"iso-8859-8", 28598},
    {"iso-ir-138", 28598},
    {"iso_8859-8", 28598},
    {"iso_8859-8:1988", 28598},
    {"visual", 28598},
    // 28599
    {"iso-8859-9", 28599},
    {"iso-ir-148", 28599},
    {"iso_8859-9", 28599},
    {"iso_8859-9:1989", 28599},
    {"latin5", 28599},
    // 28605
    {"iso-8859-15", 28605},
    {"iso_8859-15", 28605},
    {"l9", 28605},
    {"latin9", 28605},
    // 29001
    {"x-europa", 29001},
    // 38598
    {"iso-8859-8-i", 38598},
    {"logical", 38598},
    // 50220
    {"iso-2022-jp", 50220},
    // 50221
    {"_iso-2022-jp", 50221},
    {"csiso2022jp", 50221},
    // 50222
    {"_iso-2022-jp$sio", 50222},
    // 50225
    {"csiso2022kr", 50225},
    {"iso-2022-kr", 50225},
    // 50930
    {"x-ebcdic-japaneseandkana", 50930},
    // 50933
    {"x-ebcdic-japaneseanduscanada", 50933},
    {"x-ebcdic-koreanandkoreanextended", 50933},
    // 50935
    {"x-ebcdic-simplifiedchinese", 50935},
    // 50937
    {"x-ebcdic-traditionalchinese", 50937},
    // 50939
    {"x-ebcdic-japaneseandjapaneselatin", 50939},
    // 51932
    {"cseucpkdfmtjapanese", 51932},
    {"euc-jp", 51932},
    {"extended_unix_code_packed_format_for_japanese", 51932},
    {"x-euc", 51932},
    {"x-euc-jp", 51932},
    // 51936
    {"euc-cn", 51936},
    {"x-euc-cn", 51936},
    // 51949
    {"cseuckr", 51949},
    // 52936
    {"hz-gb-2312", 52936},
    // 57002
    {"x-iscii-de", 57002},
    // 57003
    {"x-iscii-be", 57003},
    // 57004
    {"x-iscii-ta", 57004},
    // 57005
    {"x-iscii-te", 57005},
    // 57006
    {"x-iscii-as", 57006},
    // 57007
    {"x-iscii-or", 57007},
    // 57008
    {"x-iscii-ka", 57008},
    // 57009
    {"x-iscii-ma", 57009},
    // 57010
    {"x-iscii-gu", 57010},
    // 57011
    {"x-iscii-pa", 57011},
    // 65000
    {"csunicode11utf7", 65000},
    {"unicode-1-1-utf-7", 65000},
    {"utf-7", 65000},
    {"x-unicode-2-0-utf-7", 65000},
    // 65001
    {"unicode-1-1-utf-8", 65001},
    {"unicode-2-0-utf-8", 65001},
    {"utf-8", 65001},
    {"x-unicode-2-0-utf-8", 65001},
};
static_assert(std::size(kEncodingNames) == 254);

constexpr EntityName kEntities[] = {
    {"Aacute", 0x00C1},  {"aacute", 0x00E1},  {"Acirc", 0x00C2},  {"acirc", 0x00E2},
    {"acute", 0x00B4},   {"AElig", 0x00C6},   {"aelig", 0x00E6},  {"Agrave", 0x00C0},
    {"agrave", 0x00E0},  {"alefsym", 0x2135}, {"Alpha", 0x0391},  {"alpha", 0x03B1},
    {"amp", 0x0026},     {"and", 0x2227},     {"ang", 0x2220},    {"Aring", 0x00C5},
    {"aring", 0x00E5},   {"asymp", 0x2248},   {"Atilde", 0x00C3}, {"atilde", 0x00E3},
    {"Auml", 0x00C4},    {"auml", 0x00E4},    {"bdquo", 0x201E},  {"Beta", 0x0392},
    {"beta", 0x03B2},    {"brvbar", 0x00A6},  {"bull", 0x2022},   {"cap", 0x2229},
    {"Ccedil", 0x00C7},  {"ccedil", 0x00E7},  {"cedil", 0x00B8},  {"cent", 0x00A2},
    {"Chi", 0x03A7},     {"chi", 0x03C7},     {"circ", 0x02C6},   {"clubs", 0x2663},
    {"cong", 0x2245},    {"copy", 0x00A9},    {"crarr", 0x21B5},  {"cup", 0x222A},
    {"curren", 0x00A4},  {"Dagger", 0x2021},  {"dagger", 0x2020}, {"dArr", 0x21D3},
    {"darr", 0x2193},    {"deg", 0x00B0},     {"Delta", 0x0394},  {"delta", 0x03B4},
    {"diams", 0x2666},   {"divide", 0x00F7},  {"Eacute", 0x00C9}, {"eacute", 0x00E9},
    {"Ecirc", 0x00CA},   {"ecirc", 0x00EA},   {"Egrave", 0x00C8}, {"egrave", 0x00E8},
    {"empty", 0x2205},   {"emsp", 0x2003},    {"ensp", 0x2002},   {"Epsilon", 0x0395},
    {"epsilon", 0x03B5}, {"equiv", 0x2261},   {"Eta", 0x0397},    {"eta", 0x03B7},
    {"ETH", 0x00D0},     {"eth", 0x00F0},     {"Euml", 0x00CB},   {"euml", 0x00EB},
    {"euro", 0x20AC},    {"exist", 0x2203},   {"fnof", 0x0192},   {"forall", 0x2200},
    {"frac12", 0x00BD},  {"frac14", 0x00BC},  {"frac34", 0x00BE}, {"frasl", 0x2044},
    {"Gamma", 0x0393},   {"gamma", 0x03B3},   {"ge", 0x2265},     {"gt", 0x003E},
    {"hArr", 0x21D4},    {"harr", 0x2194},    {"hearts", 0x2665}, {"hellip", 0x2026},
    {"Iacute", 0x00CD},  {"iacute", 0x00ED},  {"Icirc", 0x00CE},  {"icirc", 0x00EE},
    {"iexcl", 0x00A1},   {"Igrave", 0x00CC},  {"igrave", 0x00EC}, {"image", 0x2111},
    {"infin", 0x221E},   {"int", 0x222B},     {"Iota", 0x0399},   {"iota", 0x03B9},
    {"iquest", 0x00BF},  {"isin", 0x2208},    {"Iuml", 0x00CF},   {"iuml", 0x00EF},
    {"Kappa", 0x039A},   {"kappa", 0x03BA},   {"Lambda", 0x039B}, {"lambda", 0x03BB},
    {"lang", 0x2329},    {"laquo", 0x00AB},   {"lArr", 0x21D0},   {"larr", 0x2190},
    {"lceil", 0x2308},   {"ldquo", 0x201C},   {"le", 0x2264},     {"lfloor", 0x230A},
    {"lowast", 0x2217},  {"loz", 0x25CA},     {"lrm", 0x200E},    {"lsaquo", 0x2039},
    {"lsquo", 0x2018},   {"lt", 0x003C},      {"macr", 0x00AF},   {"mdash", 0x2014},
    {"micro", 0x00B5},   {"middot", 0x00B7},  {"minus", 0x2212},  {"Mu", 0x039C},
    {"mu", 0x03BC},      {"nabla", 0x2207},   {"nbsp", 0x00A0},   {"ndash", 0x2013},
    {"ne", 0x2260},      {"ni", 0x220B},      {"not", 0x00AC},    {"notin", 0x2209},
    {"nsub", 0x2284},    {"Ntilde", 0x00D1},  {"ntilde", 0x00F1}, {"Nu", 0x039D},
    {"nu", 0x03BD},      {"Oacute", 0x00D3},  {"oacute", 0x00F3}, {"Ocirc", 0x00D4},
    {"ocirc", 0x00F4},   {"OElig", 0x0152},   {"oelig", 0x0153},  {"Ograve", 0x00D2},
    {"ograve", 0x00F2},  {"oline", 0x203E},   {"Omega", 0x03A9},  {"omega", 0x03C9},
    {"Omicron", 0x039F}, {"omicron", 0x03BF}, {"oplus", 0x2295},  {"or", 0x2228},
    {"ordf", 0x00AA},    {"ordm", 0x00BA},    {"Oslash", 0x00D8}, {"oslash", 0x00F8},
    {"Otilde", 0x00D5},  {"otilde", 0x00F5},  {"otimes", 0x2297}, {"Ouml", 0x00D6},
    {"ouml", 0x00F6},    {"para", 0x00B6},    {"part", 0x2202},   {"permil", 0x2030},
    {"perp", 0x22A5},    {"Phi", 0x03A6},     {"phi", 0x03C6},    {"Pi", 0x03A0},
    {"pi", 0x03C0},      {"piv", 0x03D6},     {"plusmn", 0x00B1}, {"pound", 0x00A3},
    {"Prime", 0x2033},   {"prime", 0x2032},   {"prod", 0x220F},   {"prop", 0x221D},
    {"Psi", 0x03A8},     {"psi", 0x03C8},     {"quot", 0x0022},   {"radic", 0x221A},
    {"rang", 0x232A},    {"raquo", 0x00BB},   {"rArr", 0x21D2},   {"rarr", 0x2192},
    {"rceil", 0x2309},   {"rdquo", 0x201D},   {"real", 0x211C},   {"reg", 0x00AE},
    {"rfloor", 0x230B},  {"Rho", 0x03A1},     {"rho", 0x03C1},    {"rlm", 0x200F},
    {"rsaquo", 0x203A},  {"rsquo", 0x2019},   {"sbquo", 0x201A},  {"Scaron", 0x0160},
    {"scaron", 0x0161},  {"sdot", 0x22C5},    {"sect", 0x00A7},   {"shy", 0x00AD},
    {"Sigma", 0x03A3},   {"sigma", 0x03C3},   {"sigmaf", 0x03C2}, {"sim", 0x223C},
    {"spades", 0x2660},  {"sub", 0x2282},     {"sube", 0x2286},   {"sum", 0x2211},
    {"sup", 0x2283},     {"sup1", 0x00B9},    {"sup2", 0x00B2},   {"sup3", 0x00B3},
    {"supe", 0x2287},    {"szlig", 0x00DF},   {"Tau", 0x03A4},    {"tau", 0x03C4},
    {"there4", 0x2234},  {"Theta", 0x0398},   {"theta", 0x03B8},  {"thetasym", 0x03D1},
    {"thinsp", 0x2009},  {"THORN", 0x00DE},   {"thorn", 0x00FE},  {"tilde", 0x02DC},
    {"times", 0x00D7},   {"trade", 0x2122},   {"Uacute", 0x00DA}, {"uacute", 0x00FA},
    {"uArr", 0x21D1},    {"uarr", 0x2191},    {"Ucirc", 0x00DB},  {"ucirc", 0x00FB},
    {"Ugrave", 0x00D9},  {"ugrave", 0x00F9},  {"uml", 0x00A8},    {"upsih", 0x03D2},
    {"Upsilon", 0x03A5}, {"upsilon", 0x03C5}, {"Uuml", 0x00DC},   {"uuml", 0x00FC},
    {"weierp", 0x2118},  {"Xi", 0x039E},      {"xi", 0x03BE},     {"Yacute", 0x00DD},
    {"yacute", 0x00FD},  {"yen", 0x00A5},     {"Yuml", 0x0178},   {"yuml", 0x00FF},
    {"Zeta", 0x0396},    {"zeta", 0x03B6},    {"zwj", 0x200D},    {"zwnj", 0x200C},
    {"apos", 0x0027},
};
static_assert(std::size(kEntities) == 253);

// A hash table built at compile time: `order` lists the entries bucket by bucket, keeping the
// table order inside each bucket, and `first[b]` .. `first[b + 1]` is bucket b's slice.
template <std::size_t kBuckets, std::size_t kCount>
struct Buckets {
  std::array<std::uint16_t, kBuckets + 1> first{};
  std::array<std::uint16_t, kCount> order{};
};

constexpr std::size_t LowerAscii(char32_t unit) {
  return unit >= U'A' && unit <= U'Z' ? unit + (U'a' - U'A') : unit;
}

// The sum of the lower-cased units picks the bucket, so names that differ only in case share
// one.
template <typename Unit>
constexpr std::size_t BucketOf(std::basic_string_view<Unit> name, std::size_t buckets) {
  std::size_t sum = 0;
  for (Unit unit : name) sum += LowerAscii(static_cast<std::make_unsigned_t<Unit>>(unit));
  return sum % buckets;
}

// A stable counting sort by bucket.
template <std::size_t kBuckets, typename Entry, std::size_t kCount>
constexpr Buckets<kBuckets, kCount> MakeBuckets(const Entry (&entries)[kCount]) {
  Buckets<kBuckets, kCount> result;
  std::array<std::size_t, kCount> bucket_of{};
  std::array<std::size_t, kBuckets + 1> size{};
  for (std::size_t i = 0; i < kCount; ++i) {
    bucket_of[i] = BucketOf(entries[i].name, kBuckets);
    ++size[bucket_of[i] + 1];
  }
  for (std::size_t bucket = 0; bucket < kBuckets; ++bucket) size[bucket + 1] += size[bucket];
  for (std::size_t bucket = 0; bucket <= kBuckets; ++bucket) {
    result.first[bucket] = static_cast<std::uint16_t>(size[bucket]);
  }
  for (std::size_t i = 0; i < kCount; ++i) {
    result.order[size[bucket_of[i]]++] = static_cast<std::uint16_t>(i);
  }
  return result;
}

constexpr std::size_t kEncodingBuckets = 150;
constexpr std::size_t kEntityBuckets = 130;
constexpr auto kEncodingIndex = MakeBuckets<kEncodingBuckets>(kEncodingNames);
constexpr auto kEntityIndex = MakeBuckets<kEntityBuckets>(kEntities);

enum class Case { kExact, kIgnored };

template <Case kCase>
bool SameName(std::string_view stored, std::u16string_view wanted) {
  if (stored.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const auto unit = static_cast<unsigned char>(stored[i]);
    if (kCase == Case::kExact ? unit != wanted[i] : LowerAscii(unit) != LowerAscii(wanted[i])) {
      return false;
    }
  }
  return true;
}

template <Case kCase, std::size_t kBuckets, typename Entry, std::size_t kCount>
const Entry* Find(const Buckets<kBuckets, kCount>& index, const Entry (&entries)[kCount],
                  std::u16string_view name) {
  const std::size_t bucket = BucketOf(name, kBuckets);
  for (std::size_t i = index.first[bucket]; i < index.first[bucket + 1]; ++i) {
    const Entry& entry = entries[index.order[i]];
    if (SameName<kCase>(entry.name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace

std::span<const EncodingName> EncodingNameTable() { return kEncodingNames; }
std::span<const EntityName> EntityTable() { return kEntities; }

int LookUpEncodingName(std::u16string_view lower_name) {
  const EncodingName* entry = Find<Case::kExact>(kEncodingIndex, kEncodingNames, lower_name);
  return entry != nullptr ? entry->code_page : -1;
}

char32_t LookUpEntityName(std::u16string_view name) {
  const EntityName* entry = Find<Case::kExact>(kEntityIndex, kEntities, name);
  if (entry == nullptr) entry = Find<Case::kIgnored>(kEntityIndex, kEntities, name);
  return entry != nullptr ? entry->code_point : 0;
}

}  // namespace z900::i18n
