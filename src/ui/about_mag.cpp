#include "ui/about_mag.h"

#include <QPainter>

#include "ui/info_dlg.h"

namespace z900::ui {

using i18n::StringKey;

QString FirmwareLine(const QString& prefix, std::optional<std::uint8_t> version) {
  if (!version) return prefix + QStringLiteral(" N/A");
  return QStringLiteral("%1 %2.%3").arg(prefix).arg(*version / 10).arg(*version % 10);
}

CAboutMag::CAboutMag(const i18n::LanguageStrings& strings, AboutBoxPorts ports, QWidget* parent)
    : SkinnedDialog(SkinWindow::kAboutBox, parent), strings_(strings), ports_(std::move(ports)) {
  setWindowTitle(LanguageText(strings, StringKey::str_about));
  const QString ok_text = LanguageText(strings, StringKey::str_ok);
  const QString update_text = LanguageText(strings, StringKey::str_update);
  ok_ = AddButton(ok_text, RectLTRB(338, 193, 405, 227));
  ok_->SetTooltip(ok_text);
  close_ = AddButton(QString(), RectLTRB(395, 0, 426, 27));
  utility_update_ = AddButton(update_text, RectLTRB(165, 161, 260, 176));
  firmware_update_ = AddButton(update_text, RectLTRB(165, 181, 260, 196));
  web_ = AddButton(QString::fromLatin1(kWebSiteHost), RectLTRB(310, 90, 423, 105));

  connect(ok_, &QAbstractButton::clicked, this, [this] { done(kResultOk); });
  connect(close_, &QAbstractButton::clicked, this, [this] { done(kResultCancel); });
  connect(utility_update_, &QAbstractButton::clicked, this, [this] {
    if (ports_.check_utility_update) ports_.check_utility_update();
  });
  connect(firmware_update_, &QAbstractButton::clicked, this, [this] {
    if (!ports_.check_firmware_update || !ports_.check_firmware_update()) return;
    firmware_image_ready_ = true;
    done(kResultCancel);
  });
  connect(web_, &QAbstractButton::clicked, this, [this] {
    if (ports_.open_web_site) ports_.open_web_site(QStringLiteral("https://") + kWebSiteHost);
  });
}

void CAboutMag::PaintContent(QPainter& painter) {
  // The mouse is asked afresh on every paint, so a mouse plugged in meanwhile shows.
  const std::optional<std::uint8_t> version =
      ports_.query_firmware ? ports_.query_firmware() : std::nullopt;
  firmware_line_ = FirmwareLine(LanguageText(strings_, StringKey::str_fwcurrent_version), version);

  painter.setFont(SkinFont());
  painter.setPen(QColor(colours::kAboutText));
  DrawSkinText(painter, RectLTRB(10, 6, 100, 26), LanguageText(strings_, StringKey::str_about),
               TextLayout::kLeft);
  // The maker's name has one line, above the version lines.
  DrawSkinText(painter, RectLTRB(31, 140, 400, 154), LanguageText(strings_, StringKey::str_company),
               TextLayout::kWrapped, RectLTRB(31, 140, 400, 159));
  DrawSkinText(painter, RectLTRB(31, 161, 150, 176),
               LanguageText(strings_, StringKey::str_soft_version), TextLayout::kLeft);
  DrawSkinText(painter, RectLTRB(31, 181, 150, 196), firmware_line_, TextLayout::kLeft);
}

}  // namespace z900::ui
