#include "i18n/xml_tables.h"

#include <array>
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
    {"aacute", 0x00C1},    // Aacute
    {"aacute", 0x00E1},    // aacute
    {"acirc", 0x00C2},     // Acirc
    {"acirc", 0x00E2},     // acirc
    {"acute", 0x00B4},     // acute
    {"aelig", 0x00C6},     // AElig
    {"aelig", 0x00E6},     // aelig
    {"agrave", 0x00C0},    // Agrave
    {"agrave", 0x00E0},    // agrave
    {"alefsym", 0x2135},   // alefsym
    {"alpha", 0x0391},     // Alpha
    {"alpha", 0x03B1},     // alpha
    {"amp", 0x0026},       // amp
    {"and", 0x2227},       // and
    {"ang", 0x2220},       // ang
    {"aring", 0x00C5},     // Aring
    {"aring", 0x00E5},     // aring
    {"asymp", 0x2248},     // asymp
    {"atilde", 0x00C3},    // Atilde
    {"atilde", 0x00E3},    // atilde
    {"auml", 0x00C4},      // Auml
    {"auml", 0x00E4},      // auml
    {"bdquo", 0x201E},     // bdquo
    {"beta", 0x0392},      // Beta
    {"beta", 0x03B2},      // beta
    {"brvbar", 0x00A6},    // brvbar
    {"bull", 0x2022},      // bull
    {"cap", 0x2229},       // cap
    {"ccedil", 0x00C7},    // Ccedil
    {"ccedil", 0x00E7},    // ccedil
    {"cedil", 0x00B8},     // cedil
    {"cent", 0x00A2},      // cent
    {"chi", 0x03A7},       // Chi
    {"chi", 0x03C7},       // chi
    {"circ", 0x02C6},      // circ
    {"clubs", 0x2663},     // clubs
    {"cong", 0x2245},      // cong
    {"copy", 0x00A9},      // copy
    {"crarr", 0x21B5},     // crarr
    {"cup", 0x222A},       // cup
    {"curren", 0x00A4},    // curren
    {"dagger", 0x2021},    // Dagger
    {"dagger", 0x2020},    // dagger
    {"darr", 0x21D3},      // dArr
    {"darr", 0x2193},      // darr
    {"deg", 0x00B0},       // deg
    {"delta", 0x0394},     // Delta
    {"delta", 0x03B4},     // delta
    {"diams", 0x2666},     // diams
    {"divide", 0x00F7},    // divide
    {"eacute", 0x00C9},    // Eacute
    {"eacute", 0x00E9},    // eacute
    {"ecirc", 0x00CA},     // Ecirc
    {"ecirc", 0x00EA},     // ecirc
    {"egrave", 0x00C8},    // Egrave
    {"egrave", 0x00E8},    // egrave
    {"empty", 0x2205},     // empty
    {"emsp", 0x2003},      // emsp
    {"ensp", 0x2002},      // ensp
    {"epsilon", 0x0395},   // Epsilon
    {"epsilon", 0x03B5},   // epsilon
    {"equiv", 0x2261},     // equiv
    {"eta", 0x0397},       // Eta
    {"eta", 0x03B7},       // eta
    {"eth", 0x00D0},       // ETH
    {"eth", 0x00F0},       // eth
    {"euml", 0x00CB},      // Euml
    {"euml", 0x00EB},      // euml
    {"euro", 0x20AC},      // euro
    {"exist", 0x2203},     // exist
    {"fnof", 0x0192},      // fnof
    {"forall", 0x2200},    // forall
    {"frac12", 0x00BD},    // frac12
    {"frac14", 0x00BC},    // frac14
    {"frac34", 0x00BE},    // frac34
    {"frasl", 0x2044},     // frasl
    {"gamma", 0x0393},     // Gamma
    {"gamma", 0x03B3},     // gamma
    {"ge", 0x2265},        // ge
    {"gt", 0x003E},        // gt
    {"harr", 0x21D4},      // hArr
    {"harr", 0x2194},      // harr
    {"hearts", 0x2665},    // hearts
    {"hellip", 0x2026},    // hellip
    {"iacute", 0x00CD},    // Iacute
    {"iacute", 0x00ED},    // iacute
    {"icirc", 0x00CE},     // Icirc
    {"icirc", 0x00EE},     // icirc
    {"iexcl", 0x00A1},     // iexcl
    {"igrave", 0x00CC},    // Igrave
    {"igrave", 0x00EC},    // igrave
    {"image", 0x2111},     // image
    {"infin", 0x221E},     // infin
    {"int", 0x222B},       // int
    {"iota", 0x0399},      // Iota
    {"iota", 0x03B9},      // iota
    {"iquest", 0x00BF},    // iquest
    {"isin", 0x2208},      // isin
    {"iuml", 0x00CF},      // Iuml
    {"iuml", 0x00EF},      // iuml
    {"kappa", 0x039A},     // Kappa
    {"kappa", 0x03BA},     // kappa
    {"lambda", 0x039B},    // Lambda
    {"lambda", 0x03BB},    // lambda
    {"lang", 0x2329},      // lang
    {"laquo", 0x00AB},     // laquo
    {"larr", 0x21D0},      // lArr
    {"larr", 0x2190},      // larr
    {"lceil", 0x2308},     // lceil
    {"ldquo", 0x201C},     // ldquo
    {"le", 0x2264},        // le
    {"lfloor", 0x230A},    // lfloor
    {"lowast", 0x2217},    // lowast
    {"loz", 0x25CA},       // loz
    {"lrm", 0x200E},       // lrm
    {"lsaquo", 0x2039},    // lsaquo
    {"lsquo", 0x2018},     // lsquo
    {"lt", 0x003C},        // lt
    {"macr", 0x00AF},      // macr
    {"mdash", 0x2014},     // mdash
    {"micro", 0x00B5},     // micro
    {"middot", 0x00B7},    // middot
    {"minus", 0x2212},     // minus
    {"mu", 0x039C},        // Mu
    {"mu", 0x03BC},        // mu
    {"nabla", 0x2207},     // nabla
    {"nbsp", 0x00A0},      // nbsp
    {"ndash", 0x2013},     // ndash
    {"ne", 0x2260},        // ne
    {"ni", 0x220B},        // ni
    {"not", 0x00AC},       // not
    {"notin", 0x2209},     // notin
    {"nsub", 0x2284},      // nsub
    {"ntilde", 0x00D1},    // Ntilde
    {"ntilde", 0x00F1},    // ntilde
    {"nu", 0x039D},        // Nu
    {"nu", 0x03BD},        // nu
    {"oacute", 0x00D3},    // Oacute
    {"oacute", 0x00F3},    // oacute
    {"ocirc", 0x00D4},     // Ocirc
    {"ocirc", 0x00F4},     // ocirc
    {"oelig", 0x0152},     // OElig
    {"oelig", 0x0153},     // oelig
    {"ograve", 0x00D2},    // Ograve
    {"ograve", 0x00F2},    // ograve
    {"oline", 0x203E},     // oline
    {"omega", 0x03A9},     // Omega
    {"omega", 0x03C9},     // omega
    {"omicron", 0x039F},   // Omicron
    {"omicron", 0x03BF},   // omicron
    {"oplus", 0x2295},     // oplus
    {"or", 0x2228},        // or
    {"ordf", 0x00AA},      // ordf
    {"ordm", 0x00BA},      // ordm
    {"oslash", 0x00D8},    // Oslash
    {"oslash", 0x00F8},    // oslash
    {"otilde", 0x00D5},    // Otilde
    {"otilde", 0x00F5},    // otilde
    {"otimes", 0x2297},    // otimes
    {"ouml", 0x00D6},      // Ouml
    {"ouml", 0x00F6},      // ouml
    {"para", 0x00B6},      // para
    {"part", 0x2202},      // part
    {"permil", 0x2030},    // permil
    {"perp", 0x22A5},      // perp
    {"phi", 0x03A6},       // Phi
    {"phi", 0x03C6},       // phi
    {"pi", 0x03A0},        // Pi
    {"pi", 0x03C0},        // pi
    {"piv", 0x03D6},       // piv
    {"plusmn", 0x00B1},    // plusmn
    {"pound", 0x00A3},     // pound
    {"prime", 0x2033},     // Prime
    {"prime", 0x2032},     // prime
    {"prod", 0x220F},      // prod
    {"prop", 0x221D},      // prop
    {"psi", 0x03A8},       // Psi
    {"psi", 0x03C8},       // psi
    {"quot", 0x0022},      // quot
    {"radic", 0x221A},     // radic
    {"rang", 0x232A},      // rang
    {"raquo", 0x00BB},     // raquo
    {"rarr", 0x21D2},      // rArr
    {"rarr", 0x2192},      // rarr
    {"rceil", 0x2309},     // rceil
    {"rdquo", 0x201D},     // rdquo
    {"real", 0x211C},      // real
    {"reg", 0x00AE},       // reg
    {"rfloor", 0x230B},    // rfloor
    {"rho", 0x03A1},       // Rho
    {"rho", 0x03C1},       // rho
    {"rlm", 0x200F},       // rlm
    {"rsaquo", 0x203A},    // rsaquo
    {"rsquo", 0x2019},     // rsquo
    {"sbquo", 0x201A},     // sbquo
    {"scaron", 0x0160},    // Scaron
    {"scaron", 0x0161},    // scaron
    {"sdot", 0x22C5},      // sdot
    {"sect", 0x00A7},      // sect
    {"shy", 0x00AD},       // shy
    {"sigma", 0x03A3},     // Sigma
    {"sigma", 0x03C3},     // sigma
    {"sigmaf", 0x03C2},    // sigmaf
    {"sim", 0x223C},       // sim
    {"spades", 0x2660},    // spades
    {"sub", 0x2282},       // sub
    {"sube", 0x2286},      // sube
    {"sum", 0x2211},       // sum
    {"sup", 0x2283},       // sup
    {"sup1", 0x00B9},      // sup1
    {"sup2", 0x00B2},      // sup2
    {"sup3", 0x00B3},      // sup3
    {"supe", 0x2287},      // supe
    {"szlig", 0x00DF},     // szlig
    {"tau", 0x03A4},       // Tau
    {"tau", 0x03C4},       // tau
    {"there4", 0x2234},    // there4
    {"theta", 0x0398},     // Theta
    {"theta", 0x03B8},     // theta
    {"thetasym", 0x03D1},  // thetasym
    {"thinsp", 0x2009},    // thinsp
    {"thorn", 0x00DE},     // THORN
    {"thorn", 0x00FE},     // thorn
    {"tilde", 0x02DC},     // tilde
    {"times", 0x00D7},     // times
    {"trade", 0x2122},     // trade
    {"uacute", 0x00DA},    // Uacute
    {"uacute", 0x00FA},    // uacute
    {"uarr", 0x21D1},      // uArr
    {"uarr", 0x2191},      // uarr
    {"ucirc", 0x00DB},     // Ucirc
    {"ucirc", 0x00FB},     // ucirc
    {"ugrave", 0x00D9},    // Ugrave
    {"ugrave", 0x00F9},    // ugrave
    {"uml", 0x00A8},       // uml
    {"upsih", 0x03D2},     // upsih
    {"upsilon", 0x03A5},   // Upsilon
    {"upsilon", 0x03C5},   // upsilon
    {"uuml", 0x00DC},      // Uuml
    {"uuml", 0x00FC},      // uuml
    {"weierp", 0x2118},    // weierp
    {"xi", 0x039E},        // Xi
    {"xi", 0x03BE},        // xi
    {"yacute", 0x00DD},    // Yacute
    {"yacute", 0x00FD},    // yacute
    {"yen", 0x00A5},       // yen
    {"yuml", 0x0178},      // Yuml
    {"yuml", 0x00FF},      // yuml
    {"zeta", 0x0396},      // Zeta
    {"zeta", 0x03B6},      // zeta
    {"zwj", 0x200D},       // zwj
    {"zwnj", 0x200C},      // zwnj
    {"apos", 0x0027},      // apos
};
static_assert(std::size(kEntities) == 253);

// A hash table built at compile time: `order` lists the entries bucket by bucket, keeping the
// table order inside each bucket, and `first[b]` .. `first[b + 1]` is bucket b's slice.
template <std::size_t kBuckets, std::size_t kCount>
struct Buckets {
  std::array<std::uint16_t, kBuckets + 1> first{};
  std::array<std::uint16_t, kCount> order{};
};

template <typename Unit>
constexpr std::size_t BucketOf(std::basic_string_view<Unit> name, std::size_t buckets) {
  std::size_t sum = 0;
  for (Unit unit : name) sum += static_cast<std::size_t>(unit);
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

bool SameName(std::string_view stored, std::u16string_view wanted) {
  if (stored.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (static_cast<char16_t>(static_cast<unsigned char>(stored[i])) != wanted[i]) return false;
  }
  return true;
}

template <std::size_t kBuckets, typename Entry, std::size_t kCount>
const Entry* Find(const Buckets<kBuckets, kCount>& index, const Entry (&entries)[kCount],
                  std::u16string_view name) {
  const std::size_t bucket = BucketOf(name, kBuckets);
  for (std::size_t i = index.first[bucket]; i < index.first[bucket + 1]; ++i) {
    const Entry& entry = entries[index.order[i]];
    if (SameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

}  // namespace

std::span<const EncodingName> EncodingNameTable() { return kEncodingNames; }
std::span<const EntityName> EntityTable() { return kEntities; }

int LookUpEncodingName(std::u16string_view lower_name) {
  const EncodingName* entry = Find(kEncodingIndex, kEncodingNames, lower_name);
  return entry != nullptr ? entry->code_page : -1;
}

char32_t LookUpEntityName(std::u16string_view lower_name) {
  const EntityName* entry = Find(kEntityIndex, kEntities, lower_name);
  return entry != nullptr ? entry->code_point : 0;
}

}  // namespace z900::i18n
