#pragma once

#include <cstdint>

// Virtual-key codes: the identity of a key throughout the utility (stored macros, key names,
// the keyboard hook, the mouse's usage table). The values are those of the Windows virtual-key
// set, which the stored records use; letters and digits are their upper-case ASCII codes.
namespace z900::platform {

inline constexpr std::uint32_t kVkLButton = 0x01;
inline constexpr std::uint32_t kVkRButton = 0x02;
inline constexpr std::uint32_t kVkBack = 0x08;
inline constexpr std::uint32_t kVkTab = 0x09;
inline constexpr std::uint32_t kVkClear = 0x0C;
inline constexpr std::uint32_t kVkReturn = 0x0D;
inline constexpr std::uint32_t kVkShift = 0x10;  // either Shift
inline constexpr std::uint32_t kVkControl = 0x11;
inline constexpr std::uint32_t kVkMenu = 0x12;  // Alt
inline constexpr std::uint32_t kVkPause = 0x13;
inline constexpr std::uint32_t kVkCapital = 0x14;
inline constexpr std::uint32_t kVkEscape = 0x1B;
inline constexpr std::uint32_t kVkSpace = 0x20;
inline constexpr std::uint32_t kVkPrior = 0x21;  // Page Up
inline constexpr std::uint32_t kVkNext = 0x22;   // Page Down
inline constexpr std::uint32_t kVkEnd = 0x23;
inline constexpr std::uint32_t kVkHome = 0x24;
inline constexpr std::uint32_t kVkLeft = 0x25;
inline constexpr std::uint32_t kVkUp = 0x26;
inline constexpr std::uint32_t kVkRight = 0x27;
inline constexpr std::uint32_t kVkDown = 0x28;
inline constexpr std::uint32_t kVkSelect = 0x29;
inline constexpr std::uint32_t kVkPrint = 0x2A;
inline constexpr std::uint32_t kVkExecute = 0x2B;
inline constexpr std::uint32_t kVkSnapshot = 0x2C;  // Print Screen
inline constexpr std::uint32_t kVkInsert = 0x2D;
inline constexpr std::uint32_t kVkDelete = 0x2E;
inline constexpr std::uint32_t kVkHelp = 0x2F;
inline constexpr std::uint32_t kVk0 = 0x30;  // '0' … '9' follow
inline constexpr std::uint32_t kVk1 = 0x31;
inline constexpr std::uint32_t kVk9 = 0x39;
inline constexpr std::uint32_t kVkA = 0x41;  // 'A' … 'Z' follow
inline constexpr std::uint32_t kVkZ = 0x5A;
inline constexpr std::uint32_t kVkLWin = 0x5B;
inline constexpr std::uint32_t kVkRWin = 0x5C;
inline constexpr std::uint32_t kVkApps = 0x5D;
inline constexpr std::uint32_t kVkNumpad0 = 0x60;  // kVkNumpad0 … kVkNumpad9 follow
inline constexpr std::uint32_t kVkNumpad1 = 0x61;
inline constexpr std::uint32_t kVkNumpad9 = 0x69;
inline constexpr std::uint32_t kVkMultiply = 0x6A;
inline constexpr std::uint32_t kVkAdd = 0x6B;
inline constexpr std::uint32_t kVkSeparator = 0x6C;
inline constexpr std::uint32_t kVkSubtract = 0x6D;
inline constexpr std::uint32_t kVkDecimal = 0x6E;
inline constexpr std::uint32_t kVkDivide = 0x6F;
inline constexpr std::uint32_t kVkF1 = 0x70;  // kVkF1 … kVkF24 follow
inline constexpr std::uint32_t kVkF12 = 0x7B;
inline constexpr std::uint32_t kVkF13 = 0x7C;
inline constexpr std::uint32_t kVkF24 = 0x87;
inline constexpr std::uint32_t kVkNumLock = 0x90;
inline constexpr std::uint32_t kVkScroll = 0x91;
inline constexpr std::uint32_t kVkLShift = 0xA0;
inline constexpr std::uint32_t kVkRShift = 0xA1;
inline constexpr std::uint32_t kVkLControl = 0xA2;
inline constexpr std::uint32_t kVkRControl = 0xA3;
inline constexpr std::uint32_t kVkLMenu = 0xA4;
inline constexpr std::uint32_t kVkRMenu = 0xA5;
inline constexpr std::uint32_t kVkBrowserBack = 0xA6;
inline constexpr std::uint32_t kVkBrowserForward = 0xA7;
inline constexpr std::uint32_t kVkBrowserRefresh = 0xA8;
inline constexpr std::uint32_t kVkBrowserStop = 0xA9;
inline constexpr std::uint32_t kVkBrowserSearch = 0xAA;
inline constexpr std::uint32_t kVkBrowserFavorites = 0xAB;
inline constexpr std::uint32_t kVkBrowserHome = 0xAC;
inline constexpr std::uint32_t kVkVolumeMute = 0xAD;
inline constexpr std::uint32_t kVkVolumeDown = 0xAE;
inline constexpr std::uint32_t kVkVolumeUp = 0xAF;
inline constexpr std::uint32_t kVkMediaNextTrack = 0xB0;
inline constexpr std::uint32_t kVkMediaPrevTrack = 0xB1;
inline constexpr std::uint32_t kVkMediaStop = 0xB2;
inline constexpr std::uint32_t kVkMediaPlayPause = 0xB3;
inline constexpr std::uint32_t kVkLaunchMail = 0xB4;
inline constexpr std::uint32_t kVkOem1 = 0xBA;  // ;: on a US keyboard
inline constexpr std::uint32_t kVkOemPlus = 0xBB;
inline constexpr std::uint32_t kVkOemComma = 0xBC;
inline constexpr std::uint32_t kVkOemMinus = 0xBD;
inline constexpr std::uint32_t kVkOemPeriod = 0xBE;
inline constexpr std::uint32_t kVkOem2 = 0xBF;    // /?
inline constexpr std::uint32_t kVkOem3 = 0xC0;    // `~
inline constexpr std::uint32_t kVkOem4 = 0xDB;    // [{
inline constexpr std::uint32_t kVkOem5 = 0xDC;    // \|
inline constexpr std::uint32_t kVkOem6 = 0xDD;    // ]}
inline constexpr std::uint32_t kVkOem7 = 0xDE;    // '"
inline constexpr std::uint32_t kVkOem102 = 0xE2;  // the extra key beside left Shift

}  // namespace z900::platform
