#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

class QPainter;

// The skin: the window pictures compiled into the program, the files of the skins folder, the
// colours and the fonts every skinned window draws with.
namespace z900::ui {

// A colour as the skin tables give it: 0x00BBGGRR.
constexpr QRgb ColorRef(std::uint32_t bgr) {
  return qRgb(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
              static_cast<int>((bgr >> 16) & 0xFF));
}

// The skin's colours, one place for every window.
namespace colours {
inline constexpr QRgb kButtonText = ColorRef(0xC8BDBD);
inline constexpr QRgb kButtonHoverText = ColorRef(0xFFFFFF);
inline constexpr QRgb kButtonPressedText = ColorRef(0x051D26);
inline constexpr QRgb kDisabledText = ColorRef(0x272A26);
inline constexpr QRgb kDialogText = ColorRef(0x676153);
inline constexpr QRgb kAboutText = ColorRef(0x696358);
inline constexpr QRgb kWhite = ColorRef(0xFFFFFF);
inline constexpr QRgb kAccent = ColorRef(0xB98C15);
inline constexpr QRgb kProgressText = qRgb(0x80, 0x80, 0x80);
// The outside of a window: every pixel of exactly this colour is not part of its shape.
inline constexpr QRgb kTransparentKey = qRgb(1, 255, 31);
}  // namespace colours

// The windows that have three pictures of their own size.
enum class SkinWindow {
  kMainWindow,
  kAboutBox,
  kSettingsPage,
  kComboDialog,
  kMacroChooser,
  kMacroEditor,
  kMessageNotice,
  kMessageQuestion,
  kMessageChoice,  // the question about unapplied changes, with three buttons
};

// One skinned window's pictures: resource numbers of normal, hover and pressed, and its size.
struct WindowSkin {
  SkinWindow window;
  const char* name;  // file-name stem of rendered pictures
  int normal;
  int hover;
  int pressed;
  QSize size;
};

// Every skinned window, in the order of SkinWindow.
std::span<const WindowSkin> WindowSkins();
const WindowSkin& SkinOf(SkinWindow window);

// The three pictures of a window, at the skin's pixel ratio.
struct WindowImages {
  QPixmap normal;
  QPixmap hover;
  QPixmap pressed;
};
WindowImages LoadWindowImages(SkinWindow window);

// A numbered bitmap of the program (195 … 221) at the skin's pixel ratio; null when unknown.
QPixmap LoadBitmapResource(int id);
// The same bitmap at its own size, one pixel per logical pixel: what regions are made from.
QImage LoadBitmapImage(int id);

// Files of the skins folder of the program folder.
enum class SkinFile {
  kProgressNormal,
  kProgressOver,
  kSlider,
  kSettingsPageImage,
  kMenuNormal,
  kMenuOver,
  kMenuDown,
  kMenuNormalWithSub,
  kMenuOverWithSub,
  kMenuDownWithSub,
  kMacroUpNormal,
  kMacroUpSelect,
  kMacroDownNormal,
  kMacroDownSelect,
  kMacroDelayNormal,
  kMacroDelaySelect,
};
struct SkinFileInfo {
  SkinFile file;
  const char* folder;  // below skins/, empty for skins/ itself
  const char* name;
};
// Every file of the skins folder, in the order of SkinFile.
std::span<const SkinFileInfo> SkinFiles();
// skins/…/NAME under the program folder.
std::filesystem::path SkinFilePath(const std::filesystem::path& program_folder, SkinFile file);
// Loads a skin image file at the skin's pixel ratio (its @2x sibling where that is 2); a missing
// or unreadable file gives a null pixmap and no message.
QPixmap LoadSkinImage(const std::filesystem::path& path);
// The pictures (bitmaps, skin files, icons) are decoded only at the skin's pixel ratio, and once
// while anything holds them: this many are held now.
std::size_t SkinPicturesHeld();
// Starts decoding pictures on threads of their own, so that a window about to be made finds
// them ready: the pictures of a window that shows for the first time are decoded side by side
// rather than one after the other. The next load of each takes it.
void DecodeWindowImagesAhead(SkinWindow window);
void DecodeSkinImageAhead(const std::filesystem::path& path);

// The icons of the program: 128 (window and tray), 133 … 136 and 190, 191 (tray menu). Icon
// 128 decodes the picture of a size when that size is drawn.
QIcon ProgramIcon();
QPixmap LoadIconResource(int id);

// The pixel ratio the skin is drawn at: 2 on screens of ratio 1.5 and more, else 1. The gallery
// sets it to draw both sizes in one run; 0 returns to following the screen.
double SkinPixelRatio();
void SetSkinPixelRatio(double ratio);

// The part of a picture at a rectangle in logical pixels, keeping its pixel ratio.
QPixmap CutOut(const QPixmap& picture, const QRect& logical);

// A rectangle as the skin's layout tables give it: left, top, right, bottom, the right and
// bottom edges outside.
constexpr QRect RectLTRB(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left, bottom - top);
}

// Where the settings page and the macro page sit in the main window.
inline constexpr QRect kMainWindowPageRect = RectLTRB(0, 85, 820, 541);

// How a label is laid out in its rectangle.
enum class TextLayout {
  kLeft,     // one line, vertically centred, ending in an ellipsis when too long
  kCentre,   // the same, centred
  kRight,    // the same, right-aligned
  kWrapped,  // from the top, wrapping by words and running on below the rectangle
};
// Draws a window's picture at its origin, or black over `area` where the skin lacks it.
void DrawSkinPicture(QPainter& painter, const QRect& area, const QPixmap& picture);
// Draws a label with the painter's font and pen. Wrapped text runs on below `rect`, a line of
// the font's height after the other, as far as the bottom of `room`, if one is given; a longer
// text moves up as far as the top of `room`, and what then still has no place ends in an
// ellipsis. Lines break between words, and after the slashes of a path.
void DrawSkinText(QPainter& painter, const QRect& rect, const QString& text, TextLayout layout,
                  const QRect& room = QRect());

// How a text lay where it was drawn.
struct TextFit {
  QString text;      // what was to be shown
  QRect room;        // where it may go
  QRect used;        // what its letters cover (capitals to descenders, every line)
  bool cut = false;  // shown in part: ended in an ellipsis, or a word split inside
  int lines = 1;
  bool Fits() const { return !cut && room.contains(used); }
};
// From now on `watcher` hears of every text the skin draws (the labels of DrawSkinText, the
// captions of the skinned buttons and of the tray menu's items); an empty one stops it. For the
// checks that every text of a language fits where it is shown. Ui thread only.
void WatchSkinText(std::function<void(const TextFit&)> watcher);
// Tells the watcher, if there is one.
void ReportSkinText(const TextFit& fit);
// What the letters of a line cover, from the top of the capitals to the bottom of the
// descenders, relative to its baseline.
QRect LineInk(const QFontMetrics& metrics);
// Where the letters of a single line of `text` lie when drawn with `metrics` in `rect`
// (vertically centred by them), and whether it had to end in an ellipsis there; `shown` gets
// what is drawn. The baseline is the top of `used` less the top of LineInk.
TextFit FitSkinLine(const QFontMetrics& metrics, const QRect& rect, const QString& text,
                    Qt::Alignment horizontal, QString* shown = nullptr);

// The skin font's line: ascent and descent together, as the skin measures a font's size.
inline constexpr int kSkinLineHeight = 14;

// The skin font: a light sans face, its size chosen so that a line is kSkinLineHeight pixels
// high. Open Sans where it is installed or beside the program (a Windows installation brings
// it in its "fonts" folder), else the desktop's sans-serif face.
QFont SkinFont();
// The font of menus and lists: the same face and size at the given weight.
QFont SkinFont(QFont::Weight weight);

}  // namespace z900::ui
