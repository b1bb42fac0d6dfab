#include "ui/skin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <atomic>
#include <vector>
#include <future>
#include <map>
#include <mutex>

namespace z900::ui {
namespace {

constexpr std::array kWindowSkins = {
    WindowSkin{SkinWindow::kMainWindow, "main_window", 197, 195, 196, QSize(822, 544)},
    WindowSkin{SkinWindow::kAboutBox, "about_box", 198, 199, 200, QSize(427, 228)},
    WindowSkin{SkinWindow::kSettingsPage, "settings_page", 202, 203, 201, QSize(822, 458)},
    WindowSkin{SkinWindow::kComboDialog, "combo_dialog", 206, 204, 205, QSize(349, 185)},
    WindowSkin{SkinWindow::kMacroChooser, "macro_chooser", 209, 207, 208, QSize(242, 257)},
    WindowSkin{SkinWindow::kMacroEditor, "macro_editor", 218, 216, 217, QSize(822, 458)},
    WindowSkin{SkinWindow::kMessageNotice, "message_notice", 214, 210, 212, QSize(330, 160)},
    WindowSkin{SkinWindow::kMessageQuestion, "message_question", 213, 215, 211, QSize(330, 160)},
    WindowSkin{SkinWindow::kMessageChoice, "message_choice", 219, 220, 221, QSize(330, 160)},
};

constexpr std::array kSkinFiles = {
    SkinFileInfo{SkinFile::kProgressNormal, "", "Progress_Normal.png"},
    SkinFileInfo{SkinFile::kProgressOver, "", "Progress_Over.png"},
    SkinFileInfo{SkinFile::kSlider, "", "Slider.png"},
    SkinFileInfo{SkinFile::kSettingsPageImage, "MouseSet", "SetDlg_Normal.PNG"},
    SkinFileInfo{SkinFile::kMenuNormal, "Menu", "MenuNor.BMP"},
    SkinFileInfo{SkinFile::kMenuOver, "Menu", "MenuOver.BMP"},
    SkinFileInfo{SkinFile::kMenuDown, "Menu", "MenuDown.BMP"},
    SkinFileInfo{SkinFile::kMenuNormalWithSub, "Menu", "MenuNorHaveSub.BMP"},
    SkinFileInfo{SkinFile::kMenuOverWithSub, "Menu", "MenuOverHaveSub.BMP"},
    SkinFileInfo{SkinFile::kMenuDownWithSub, "Menu", "MenuDownHaveSub.BMP"},
    SkinFileInfo{SkinFile::kMacroUpNormal, "Macro_editor", "up_normal.png"},
    SkinFileInfo{SkinFile::kMacroUpSelect, "Macro_editor", "up_select.png"},
    SkinFileInfo{SkinFile::kMacroDownNormal, "Macro_editor", "down_normal.png"},
    SkinFileInfo{SkinFile::kMacroDownSelect, "Macro_editor", "down_select.png"},
    SkinFileInfo{SkinFile::kMacroDelayNormal, "Macro_editor", "delay_normal.png"},
    SkinFileInfo{SkinFile::kMacroDelaySelect, "Macro_editor", "delay_select.png"},
};

// 0 = follow the screen; otherwise the ratio the gallery asked for. Read by any thread that
// loads pictures, set by the gallery before it draws.
std::atomic<int> g_forced_ratio{0};

QString At2x(const QString& path) {
  const qsizetype dot = path.lastIndexOf('.');
  return dot < 0 ? path + "@2x" : path.left(dot) + "@2x" + path.mid(dot);
}

// One file decoded, past Qt's own pixmap cache: the skin's cache alone decides how long a
// picture lives. Any thread may decode.
QImage DecodeImage(const QString& path) { return QImageReader(path).read(); }

// Decodes path, or its @2x sibling when the skin is drawn at ratio 2 and the sibling exists;
// the image carries the ratio it was decoded for.
QImage DecodeAtRatio(const QString& path, int ratio) {
  if (ratio >= 2) {
    QImage large = DecodeImage(At2x(path));
    if (!large.isNull()) {
      large.setDevicePixelRatio(2.0);
      return large;
    }
  }
  return DecodeImage(path);
}

// Makes the fonts of the "fonts" folder beside the program known to Qt, once, when the skin's
// face is first needed: a start in the tray loads none.
void LoadProgramFonts() {
  const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
  for (const QString& name : folder.entryList({QStringLiteral("*.ttf")}, QDir::Files)) {
    QFontDatabase::addApplicationFont(folder.filePath(name));
  }
}

// The largest pixel size of the skin's face whose line (ascent and descent) is at most
// kSkinLineHeight: the skin gives its fonts by the height of their line, not of their letters.
int SkinFontPixels() {
  static const int pixels = [] {
    LoadProgramFonts();
    for (int size = kSkinLineHeight; size > 6; --size) {
      QFont font;
      font.setFamilies({QStringLiteral("Open Sans")});
      font.setStyleHint(QFont::SansSerif);
      font.setWeight(QFont::Light);
      font.setPixelSize(size);
      if (QFontMetrics(font).height() <= kSkinLineHeight) return size;
    }
    return 7;
  }();
  return pixels;
}

std::function<void(const TextFit&)>& TextWatcher() {
  static std::function<void(const TextFit&)> watcher;
  return watcher;
}

// The text with a break allowed after each slash (a zero-width space), so that a path wraps at
// its folders; the space is not drawn.
constexpr QChar kBreakHere(0x200B);
QString WithPathBreaks(const QString& text) {
  QString result = text;
  for (qsizetype at = result.size() - 1; at >= 0; --at) {
    if (result[at] == u'/' || result[at] == u'\\') result.insert(at + 1, kBreakHere);
  }
  return result;
}

// Wrapped text in `rect`, as far down as `room` lets it (see DrawSkinText).
void DrawWrapped(QPainter& painter, const QRect& rect, const QString& text, QRect room) {
  const QFontMetrics metrics = painter.fontMetrics();
  const int line_height = metrics.height();
  // A line break of the text starts a new line; QTextLayout takes only its own separator as one.
  QString spaced = WithPathBreaks(text);
  spaced.replace(u'\n', QChar::LineSeparator);
  QTextLayout layout(spaced, painter.font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, spaced);
  struct Line {
    qsizetype start;
    qsizetype length;
  };
  std::vector<Line> lines;
  bool split = false;  // a word broke inside, for want of room
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(rect.width());
    lines.push_back({line.textStart(), line.textLength()});
    const qsizetype end = line.textStart() + line.textLength();
    if (end < spaced.size()) {
      breaks.setPosition(end);
      split = split || !breaks.isAtBoundary();
    }
  }
  layout.endLayout();

  if (room.isNull()) room = QRect(rect.left(), rect.top(), rect.width(), 1 << 16);
  const int room_lines = std::max(room.height() / line_height, 1);
  const bool elided = static_cast<int>(lines.size()) > room_lines;
  if (elided) lines.resize(static_cast<std::size_t>(room_lines));
  const int height = static_cast<int>(lines.size()) * line_height;
  const int top = std::max(std::min(rect.top(), room.bottom() + 1 - height), room.top());
  int widest = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    QString shown = spaced.mid(lines[i].start, lines[i].length);
    if (elided && i + 1 == lines.size()) {
      shown =
          metrics.elidedText(spaced.mid(lines[i].start).simplified(), Qt::ElideRight, rect.width());
    }
    shown.remove(kBreakHere);
    shown = shown.trimmed();
    widest = std::max(widest, metrics.horizontalAdvance(shown));
    painter.drawText(
        QPoint(rect.left(), top + static_cast<int>(i) * line_height + metrics.ascent()), shown);
  }
  const QRect ink = LineInk(metrics);
  const int ink_top = top + metrics.ascent() + ink.top();
  const int ink_bottom = top + height - line_height + metrics.ascent() + ink.bottom();
  ReportSkinText({text, room, QRect(rect.left(), ink_top, widest, ink_bottom - ink_top + 1),
                  elided || split, static_cast<int>(lines.size())});
}

// The pictures decoded so far, by file and ratio, and those being decoded ahead of their use.
// A picture stays while anything else holds it: controls and windows that use one picture at
// the same time share one decoded copy.
class PictureCache {
 public:
  // The picture, decoded now unless it is held already or being decoded ahead (then waited for).
  QPixmap Load(const QString& path, int ratio) {
    const QString key = Key(path, ratio);
    std::future<QImage> ahead;
    {
      std::lock_guard lock(mutex_);
      if (const auto found = pictures_.find(key); found != pictures_.end()) return found->second;
      if (const auto found = ahead_.find(key); found != ahead_.end()) {
        ahead = std::move(found->second);
        ahead_.erase(found);
      }
    }
    QImage image = ahead.valid() ? ahead.get() : DecodeAtRatio(path, ratio);
    if (image.isNull()) return {};
    const qreal image_ratio = image.devicePixelRatio();
    QPixmap picture = QPixmap::fromImage(std::move(image));
    picture.setDevicePixelRatio(image_ratio);
    std::lock_guard lock(mutex_);
    DropUnused();
    pictures_[key] = picture;
    return picture;
  }
  // Starts decoding on a thread of its own, unless the picture is held or on its way already.
  void DecodeAhead(const QString& path, int ratio) {
    const QString key = Key(path, ratio);
    std::lock_guard lock(mutex_);
    if (pictures_.contains(key) || ahead_.contains(key)) return;
    ahead_[key] =
        std::async(std::launch::async, [path, ratio] { return DecodeAtRatio(path, ratio); });
  }
  std::size_t DropUnusedAndCount() {
    std::lock_guard lock(mutex_);
    DropUnused();
    return pictures_.size();
  }
  // Everything, waiting for what is being decoded: pixmaps go before the application does.
  void Clear() {
    std::map<QString, std::future<QImage>> ahead;
    {
      std::lock_guard lock(mutex_);
      pictures_.clear();
      ahead.swap(ahead_);
    }
  }

 private:
  static QString Key(const QString& path, int ratio) {
    return QString::number(ratio) + QLatin1Char('|') + path;
  }
  // Pictures only the cache holds any longer.
  void DropUnused() {
    std::erase_if(pictures_, [](const auto& entry) { return entry.second.isDetached(); });
  }

  std::mutex mutex_;
  std::map<QString, QPixmap> pictures_;
  std::map<QString, std::future<QImage>> ahead_;
};

PictureCache& Pictures() {
  static PictureCache& cache = []() -> PictureCache& {
    static PictureCache made;
    qAddPostRoutine([] { Pictures().Clear(); });
    return made;
  }();
  return cache;
}

int RatioInUse() { return SkinPixelRatio() >= 2.0 ? 2 : 1; }

// The picture of path for the skin's pixel ratio: only that size is decoded.
QPixmap LoadAtRatio(const QString& path) { return Pictures().Load(path, RatioInUse()); }

// The skin's fonts are 14 pixels high as a whole line (ascent and descent); our face reaches a
// comparable size of its letters at 12 pixels, which also keeps the skin's label rectangles
// wide enough for their texts.
constexpr int kSkinFontPixels = 12;

QString BitmapPath(int id) { return QStringLiteral(":/z900/bitmaps/%1.png").arg(id); }

}  // namespace

std::span<const WindowSkin> WindowSkins() { return kWindowSkins; }

const WindowSkin& SkinOf(SkinWindow window) {
  return kWindowSkins[static_cast<std::size_t>(window)];
}

WindowImages LoadWindowImages(SkinWindow window) {
  const WindowSkin& skin = SkinOf(window);
  return {LoadBitmapResource(skin.normal), LoadBitmapResource(skin.hover),
          LoadBitmapResource(skin.pressed)};
}

QPixmap LoadBitmapResource(int id) { return LoadAtRatio(BitmapPath(id)); }

QImage LoadBitmapImage(int id) { return QImage(BitmapPath(id)); }

std::span<const SkinFileInfo> SkinFiles() { return kSkinFiles; }

std::filesystem::path SkinFilePath(const std::filesystem::path& program_folder, SkinFile file) {
  const SkinFileInfo& entry = kSkinFiles[static_cast<std::size_t>(file)];
  std::filesystem::path path = program_folder / "skins";
  if (entry.folder[0] != '\0') path /= entry.folder;
  return path / entry.name;
}

QPixmap LoadSkinImage(const std::filesystem::path& path) {
  return LoadAtRatio(QString::fromStdU16String(path.u16string()));
}

std::size_t SkinPicturesHeld() { return Pictures().DropUnusedAndCount(); }

void DecodeWindowImagesAhead(SkinWindow window) {
  const WindowSkin& skin = SkinOf(window);
  for (const int id : {skin.normal, skin.hover, skin.pressed}) {
    Pictures().DecodeAhead(BitmapPath(id), RatioInUse());
  }
}

void DecodeSkinImageAhead(const std::filesystem::path& path) {
  Pictures().DecodeAhead(QString::fromStdU16String(path.u16string()), RatioInUse());
}

QPixmap LoadIconResource(int id) {
  return LoadAtRatio(QStringLiteral(":/z900/icons/%1.png").arg(id));
}

namespace {

// The program's icon, drawn from its pictures of 16, 32 and 64 pixels and their @2x siblings.
// Only the picture of the size and pixel ratio that is drawn is decoded, when it is drawn.
class ProgramIconEngine final : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatio() : 1.0;
    painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }
  // `size` is in device pixels.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode, QIcon::State, qreal) override {
    if (size.isEmpty()) return {};
    const int wanted = std::max(size.width(), size.height());
    // The smallest picture at least as large, else the largest.
    const std::array<std::pair<int, QString>, 4> pictures = {{
        {16, QStringLiteral(":/z900/icons/128-16.png")},
        {32, QStringLiteral(":/z900/icons/128-32.png")},
        {64, QStringLiteral(":/z900/icons/128-64.png")},
        {128, QStringLiteral(":/z900/icons/128-64@2x.png")},
    }};
    const auto* chosen = &pictures.back();
    for (const auto& picture : pictures) {
      if (picture.first >= wanted) {
        chosen = &picture;
        break;
      }
    }
    // Kept by the icon: a tray icon is drawn again and again.
    QPixmap& picture = held_[chosen->first];
    if (picture.isNull()) picture = Pictures().Load(chosen->second, 1);
    if (picture.isNull() || picture.size() == size) return picture;
    return picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    return {QSize(16, 16), QSize(32, 32), QSize(64, 64)};
  }
  QIconEngine* clone() const override { return new ProgramIconEngine; }

 private:
  std::map<int, QPixmap> held_;
};

}  // namespace

QIcon ProgramIcon() { return QIcon(new ProgramIconEngine); }

double SkinPixelRatio() {
  if (const int forced = g_forced_ratio.load(); forced != 0) return forced;
  const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  return app != nullptr && app->devicePixelRatio() >= 1.5 ? 2.0 : 1.0;
}

void SetSkinPixelRatio(double ratio) { g_forced_ratio = ratio <= 0 ? 0 : (ratio >= 1.5 ? 2 : 1); }

QPixmap CutOut(const QPixmap& picture, const QRect& logical) {
  if (picture.isNull()) return {};
  const qreal ratio = picture.devicePixelRatio();
  const QRect device(QPoint(qRound(logical.x() * ratio), qRound(logical.y() * ratio)),
                     QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio)));
  QPixmap part = picture.copy(device);
  part.setDevicePixelRatio(ratio);
  return part;
}

void DrawSkinPicture(QPainter& painter, const QRect& area, const QPixmap& picture) {
  if (picture.isNull()) {
    painter.fillRect(area, Qt::black);
  } else {
    painter.drawPixmap(0, 0, picture);
  }
}

void DrawSkinText(QPainter& painter, const QRect& rect, const QString& text, TextLayout layout,
                  const QRect& room) {
  if (text.isEmpty()) return;
  if (layout == TextLayout::kWrapped) {
    DrawWrapped(painter, rect, text, room);
    return;
  }
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (layout == TextLayout::kCentre) horizontal = Qt::AlignHCenter;
  if (layout == TextLayout::kRight) horizontal = Qt::AlignRight;
  QString shown;
  const QFontMetrics metrics = painter.fontMetrics();
  const TextFit fit = FitSkinLine(metrics, rect, text, horizontal, &shown);
  // Not clipped: a line taller than its rectangle shows whole, centred on it.
  painter.drawText(QPoint(fit.used.left(), fit.used.top() - LineInk(metrics).top()), shown);
  ReportSkinText(fit);
}

QRect LineInk(const QFontMetrics& metrics) {
  return metrics.tightBoundingRect(QStringLiteral("Hgjpqy"));
}

TextFit FitSkinLine(const QFontMetrics& metrics, const QRect& rect, const QString& text,
                    Qt::Alignment horizontal, QString* shown) {
  const QString elided = metrics.elidedText(text, Qt::ElideRight, rect.width());
  const int width = metrics.horizontalAdvance(elided);
  int left = rect.left();
  if (horizontal & Qt::AlignHCenter) left += (rect.width() - width) / 2;
  if (horizontal & Qt::AlignRight) left = rect.right() + 1 - width;
  // Centred by what the letters cover: the font's line also holds room for accents above the
  // capitals, which would set the letters low in a low rectangle.
  const QRect ink = LineInk(metrics);
  const int top = rect.top() + (rect.height() - ink.height()) / 2;
  if (shown != nullptr) *shown = elided;
  return {text, rect, QRect(left, top, width, ink.height()), elided != text};
}

void WatchSkinText(std::function<void(const TextFit&)> watcher) {
  TextWatcher() = std::move(watcher);
}

void ReportSkinText(const TextFit& fit) {
  if (TextWatcher()) TextWatcher()(fit);
}


QFont SkinFont() { return SkinFont(QFont::Light); }

QFont SkinFont(QFont::Weight weight) {
  QFont font;
  font.setFamilies({QStringLiteral("Open Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(SkinFontPixels());
  font.setWeight(weight);
  return font;
}

}  // namespace z900::ui
