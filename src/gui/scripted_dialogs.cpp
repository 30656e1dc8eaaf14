#include "gui/scripted_dialogs.h"

namespace picmap {

namespace {

template <class T>
std::optional<T> Take(std::deque<std::optional<T>>& queue) {
  if (queue.empty()) return std::nullopt;
  std::optional<T> a = std::move(queue.front());
  queue.pop_front();
  return a;
}

}  // namespace

std::optional<std::u16string> ScriptedDialogProvider::OpenFile(QWidget*,
                                                               const FileDialogRequest& request) {
  openRequests.push_back(request);
  return Take(openAnswers);
}

std::optional<std::u16string> ScriptedDialogProvider::SaveFile(QWidget*,
                                                               const FileDialogRequest& request) {
  saveRequests.push_back(request);
  return Take(saveAnswers);
}

std::optional<int32_t> ScriptedDialogProvider::Color(QWidget*, int32_t initial) {
  colorRequests.push_back(initial);
  return Take(colorAnswers);
}

std::u16string ScriptedDialogProvider::Input(QWidget*, const std::u16string& title,
                                             const std::u16string& prompt,
                                             const std::u16string& defaultText) {
  prompts.push_back({title, prompt, defaultText});
  if (inputAnswers.empty()) return u"";
  std::u16string a = std::move(inputAnswers.front());
  inputAnswers.pop_front();
  return a;
}

MsgAnswer ScriptedDialogProvider::Message(QWidget*, const std::u16string& text,
                                          const std::u16string& title, MsgButtons buttons,
                                          MsgIcon icon) {
  const MsgAnswer a = messages.Show(text, title, buttons, icon);
  if (onMessage) onMessage(messages.shown.back());
  return a;
}

std::u16string ScriptedDialogProvider::LastMessage() const {
  return messages.shown.empty() ? u"" : messages.shown.back().text;
}

}  // namespace picmap
