#include "config/app_context.h"

namespace z900::config {

int ShowMessage(AppContext& context, platform::UiPort& ui, const std::u16string& text,
                bool confirm) {
  context.message_box_flag = 1;
  const int result = ui.ShowMessage(text, confirm);
  context.message_box_flag = 0;
  return result;
}

}  // namespace z900::config
