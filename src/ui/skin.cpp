#include "ui/skin.h"

#include <QGuiApplication>
#include <QPainter>
#include <array>
#include <atomic>

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

// Loads path, or its @2x sibling when the skin is drawn at ratio 2 and the sibling exists.
QPixmap LoadAtRatio(const QString& path) {
  if (SkinPixelRatio() >= 2.0) {
    QPixmap large(At2x(path));
    if (!large.isNull()) {
      large.setDevicePixelRatio(2.0);
      return large;
    }
  }
  return QPixmap(path);
}

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

QPixmap LoadIconResource(int id) {
  return LoadAtRatio(QStringLiteral(":/z900/icons/%1.png").arg(id));
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 32, 64}) {
    const QString path = QStringLiteral(":/z900/icons/128-%1.png").arg(size);
    icon.addFile(path, QSize(size, size));
    icon.addFile(At2x(path), QSize(size * 2, size * 2));
  }
  return icon;
}

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

void DrawSkinText(QPainter& painter, const QRect& rect, const QString& text, TextLayout layout) {
  if (text.isEmpty()) return;
  if (layout == TextLayout::kWrapped) {
    const QRect unbounded(rect.left(), rect.top(), rect.width(), 1 << 16);
    painter.drawText(unbounded, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return;
  }
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (layout == TextLayout::kCentre) horizontal = Qt::AlignHCenter;
  if (layout == TextLayout::kRight) horizontal = Qt::AlignRight;
  const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, rect.width());
  // Not clipped: a line taller than its rectangle shows whole, centred on it.
  const QRect line(rect.left(), rect.center().y() - 1000, rect.width(), 2001);
  painter.drawText(line, horizontal | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

QFont SkinFont() { return SkinFont(QFont::Light); }

QFont SkinFont(QFont::Weight weight) {
  QFont font;
  font.setFamilies({QStringLiteral("Open Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kSkinFontPixels);
  font.setWeight(weight);
  return font;
}

}  // namespace z900::ui
