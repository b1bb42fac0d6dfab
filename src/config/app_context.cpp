#include "config/app_context.h"

namespace z900::config {

int ShowMessage(AppContext& context, platform::UiPort& ui, const std::u16string& text,
                bool confirm) {
  context.message_box_flag = 1;
  const int result = ui.ShowMessage(text, confirm);
  context.message_box_flag = 0;
  return result;
}

platform::UnappliedChoice AskUnappliedChanges(AppContext& context, platform::UiPort& ui) {
  context.message_box_flag = 1;
  const platform::UnappliedChoice choice =
      ui.AskUnappliedChanges(context.Text(i18n::StringKey::str_unapplied));
  context.message_box_flag = 0;
  return choice;
}

}  // namespace z900::config
