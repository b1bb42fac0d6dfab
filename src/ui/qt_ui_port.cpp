#include "ui/qt_ui_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <type_traits>

#include "ui/combo_dlg.h"
#include "ui/info_dlg.h"
#include "ui/modal_dialogs.h"

namespace z900::ui {

platform::UiTaskPoster UiThreadPoster() {
  return [](std::function<void()> task) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
      QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    }
  };
}

namespace {

QString ToQString(const std::u16string& text) { return QString::fromStdU16String(text); }

std::optional<std::filesystem::path> ToPath(const QString& chosen) {
  if (chosen.isEmpty()) return std::nullopt;
  return std::filesystem::path(chosen.toStdU16String());
}

// The chooser filters; programs carry no extension here, so every file is offered. The
// desktop's own sounds are Ogg files beside the wave files.
QString FilterOf(platform::FileChoice kind) {
  switch (kind) {
    case platform::FileChoice::kProgram:
      return QStringLiteral("Programs (*)");
    case platform::FileChoice::kSound:
      return QStringLiteral("Sounds (*.wav *.oga *.ogg)");
    case platform::FileChoice::kFile:
      break;
  }
  return QStringLiteral("(*)");
}

// Where each chooser starts: the system's sounds, its programs, the user's files.
QString InitialFolderOf(platform::FileChoice kind) {
  QString folder;
  switch (kind) {
    case platform::FileChoice::kProgram:
      folder = QStringLiteral("/usr/bin");
      break;
    case platform::FileChoice::kSound:
      folder = QStringLiteral("/usr/share/sounds");
      break;
    case platform::FileChoice::kFile:
      break;
  }
  return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

// Names keys when the program has no layout: the fixed names and "Key 0xNN".
class NoLayout final : public platform::KeyboardLayout {
 public:
  std::optional<char32_t> UnshiftedCharacter(std::uint32_t) const override { return std::nullopt; }
};

}  // namespace

QtUiPort::QtUiPort(const config::AppContext& context, QWidget* owner)
    : context_(context), owner_(owner) {}

QtUiPort::~QtUiPort() { delete progress_.data(); }

template <typename Call>
auto QtUiPort::OnUiThread(Call call) -> decltype(call()) {
  using Result = decltype(call());
  if (QThread::currentThread() == thread()) return call();
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
  } else {
    Result result{};
    QMetaObject::invokeMethod(
        this, [&result, &call] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

int QtUiPort::Run(QDialog& dialog) {
  if (closing_) {
    dialog.reject();
    return dialog.result();
  }
  return ExecDialog(dialog);
}

int QtUiPort::ShowMessage(const std::u16string& text, bool confirm) {
  return OnUiThread([&] {
    CInfoDlg dialog(ToQString(text), confirm ? 1 : 0, context_.strings, owner_);
    return Run(dialog);
  });
}

platform::UnappliedChoice QtUiPort::AskUnappliedChanges(const std::u16string& text) {
  return OnUiThread([&] {
    CInfoDlg dialog(ToQString(text), InfoButtons::kApplyDiscardCancel, context_.strings, owner_);
    switch (dialog.exec()) {
      case kResultOk:
        return platform::UnappliedChoice::kApply;
      case kResultDiscard:
        return platform::UnappliedChoice::kDiscard;
      default:
        return platform::UnappliedChoice::kStay;
    }
  });
}

void QtUiPort::ShowStandardBox(const std::u16string& text, const std::u16string& caption) {
  OnUiThread([&] {
    const QMessageBox::Icon icon =
        caption == u"Warning" ? QMessageBox::Warning : QMessageBox::Information;
    QMessageBox box(icon, ToQString(caption), ToQString(text), QMessageBox::Ok, owner_);
    Run(box);
  });
}

void QtUiPort::OpenProgress() {
  OnUiThread([&] {
    // One that says that the write waits turns to the write itself.
    if (progress_ == nullptr) {
      progress_ = new CProgressDlg(context_.strings, context_.paths.module_directory, owner_);
    }
    progress_->SetWaiting(false);
    progress_->SetPos(0);
    progress_->show();
  });
}

void QtUiPort::ShowProgressWaiting() {
  OnUiThread([&] {
    if (progress_ == nullptr) {
      progress_ = new CProgressDlg(context_.strings, context_.paths.module_directory, owner_);
    }
    progress_->SetWaiting(true);
    progress_->show();
  });
}

void QtUiPort::SetProgress(int position) {
  OnUiThread([&] {
    if (progress_ != nullptr) progress_->SetPos(position);
  });
}

void QtUiPort::CloseProgress() {
  OnUiThread([&] { delete progress_.data(); });
}

void QtUiPort::RefreshPage() {
  OnUiThread([&] {
    if (hooks_.refresh_page) hooks_.refresh_page();
  });
}

std::optional<std::filesystem::path> QtUiPort::ChooseFile(platform::FileChoice kind) {
  return OnUiThread([&]() -> std::optional<std::filesystem::path> {
    QFileDialog dialog(owner_, QString(), InitialFolderOf(kind), FilterOf(kind));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ToPath(dialog.selectedFiles().front());
  });
}

std::optional<std::filesystem::path> QtUiPort::ChooseFolder() {
  return OnUiThread([&]() -> std::optional<std::filesystem::path> {
    QFileDialog dialog(owner_, QString(), QDir::homePath());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (Run(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ToPath(dialog.selectedFiles().front());
  });
}

std::optional<platform::ComboKeyChoice> QtUiPort::ChooseComboKey() {
  return OnUiThread([&] {
    static const NoLayout kNoLayout;
    CComboDlg dialog(context_.strings, hook_, layout_ != nullptr ? *layout_ : kNoLayout, owner_);
    Run(dialog);
    return dialog.choice();
  });
}

std::optional<platform::MacroChoice> QtUiPort::ChooseMacro(int preset_position) {
  return OnUiThread([&]() -> std::optional<platform::MacroChoice> {
    if (closing_ || !macro_chooser_) return std::nullopt;
    return macro_chooser_(preset_position);
  });
}

bool QtUiPort::HideMainWindow() {
  return OnUiThread([&] { return hooks_.hide_main_window ? hooks_.hide_main_window() : false; });
}

void QtUiPort::ShowMainWindow() {
  OnUiThread([&] {
    if (hooks_.show_main_window) hooks_.show_main_window();
  });
}

void QtUiPort::CloseAssignmentMenu() {
  OnUiThread([&] {
    if (hooks_.close_assignment_menu) hooks_.close_assignment_menu();
  });
}

void QtUiPort::ShutDown() {
  OnUiThread([&] {
    if (hooks_.shut_down) hooks_.shut_down();
  });
}

bool QtUiPort::ShowAboutBox() {
  return OnUiThread([&] {
    CAboutMag dialog(context_.strings, about_ports_, owner_);
    Run(dialog);
    return dialog.firmware_image_ready();
  });
}

}  // namespace z900::ui
