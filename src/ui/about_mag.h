#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "i18n/language_strings.h"
#include "ui/info_dlg.h"
#include "ui/skinned_dialog.h"

namespace z900::ui {

// The maker's web site, shown on the about box's web button and opened by it.
inline constexpr char kWebSiteHost[] = "z900.example";

// What the about box asks of the rest of the program.
struct AboutBoxPorts {
  // Opens the mouse, reads its firmware number and closes it again; nullopt when any step fails.
  std::function<std::optional<std::uint8_t>()> query_firmware;
  // The update checks of the two update buttons; the second is true when a new firmware image
  // was downloaded.
  std::function<bool()> check_utility_update;
  std::function<bool()> check_firmware_update;
  // Opens a web address in the browser.
  std::function<void(const QString& address)> open_web_site;
};

// "<prefix> v/10.v%10", or "<prefix> N/A" without a number.
QString FirmwareLine(const QString& prefix, std::optional<std::uint8_t> version);

// The about box: versions, the mouse's firmware, the two update checks and the web site.
class CAboutMag : public SkinnedDialog {
  Q_OBJECT

 public:
  CAboutMag(const i18n::LanguageStrings& strings, AboutBoxPorts ports, QWidget* parent = nullptr);

  // Set when the firmware check stored a new image; the dialog then ended as cancelled.
  bool firmware_image_ready() const { return firmware_image_ready_; }
  // The firmware line of the last paint.
  const QString& firmware_line() const { return firmware_line_; }

  CGDIBitmapBtn* ok_button() const { return ok_; }
  CGDIBitmapBtn* close_button() const { return close_; }
  CGDIBitmapBtn* utility_update_button() const { return utility_update_; }
  CGDIBitmapBtn* firmware_update_button() const { return firmware_update_; }
  CGDIBitmapBtn* web_button() const { return web_; }

  // Escape, or the utility's end, closes it as the close button does.
  void reject() override { done(kResultCancel); }

 protected:
  void PaintContent(QPainter& painter) override;

 private:
  const i18n::LanguageStrings& strings_;
  AboutBoxPorts ports_;
  bool firmware_image_ready_ = false;
  QString firmware_line_;
  CGDIBitmapBtn* ok_;
  CGDIBitmapBtn* close_;
  CGDIBitmapBtn* utility_update_;
  CGDIBitmapBtn* firmware_update_;
  CGDIBitmapBtn* web_;
};

}  // namespace z900::ui
