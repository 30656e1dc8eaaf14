#include "app/window_port.h"

#include "support/library.h"

namespace picmap {

void WindowPort::Message(const std::u16string& text, bool errorIcon) {
  if (errorIcon)
    ShowError(text);
  else
    ShowMessage(text);
}

void WindowPort::MessageWithDetail(const std::u16string& text, const std::u16string& detail,
                                   bool errorIcon) {
  Message(detail.empty() ? text : text + u"\r\n" + detail, errorIcon);
}

MsgAnswer WindowPort::AskYesNoCancel(const std::u16string& text) {
  return ShowMessage(text, MsgButtons::YesNoCancel, MsgIcon::Question);
}

int32_t WindowPort::SourcePixel(int32_t x, int32_t y) const {
  const Picture& p = SourcePicture();
  return p.Contains(x, y) ? p.At(x, y) : -1;
}

}  // namespace picmap
