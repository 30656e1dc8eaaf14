// ScriptedDialogProvider: dialogs answered from queues and recorded, for driving the real
// window in tests. An empty queue cancels a file or colour dialog and an input box; message
// boxes are answered by a ScriptedMessageBox (its queue, else the dismissing answer).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/dialog_provider.h"

namespace picmap {

class ScriptedDialogProvider : public DialogProvider {
 public:
  std::optional<std::u16string> OpenFile(QWidget* parent,
                                         const FileDialogRequest& request) override;
  std::optional<std::u16string> SaveFile(QWidget* parent,
                                         const FileDialogRequest& request) override;
  std::optional<int32_t> Color(QWidget* parent, int32_t initial) override;
  std::u16string Input(QWidget* parent, const std::u16string& title,
                       const std::u16string& prompt, const std::u16string& defaultText) override;
  MsgAnswer Message(QWidget* parent, const std::u16string& text, const std::u16string& title,
                    MsgButtons buttons, MsgIcon icon) override;

  // The text of the last message box, empty when none was shown.
  std::u16string LastMessage() const;

  std::vector<FileDialogRequest> openRequests, saveRequests;
  std::deque<std::optional<std::u16string>> openAnswers, saveAnswers;
  std::vector<int32_t> colorRequests;
  std::deque<std::optional<int32_t>> colorAnswers;

  struct Prompt {
    std::u16string title, prompt, defaultText;
  };
  std::vector<Prompt> prompts;
  std::deque<std::u16string> inputAnswers;

  ScriptedMessageBox messages;
  // Runs after a message box is recorded (e.g. to look at the window while it is "open").
  std::function<void(const ShownMessage&)> onMessage;
};

}  // namespace picmap
