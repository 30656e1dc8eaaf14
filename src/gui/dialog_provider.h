// The dialogs of the main window behind one small interface, so that tests can answer them:
// the open, save and colour dialogs, the input box and message boxes. QtDialogProvider shows
// real Qt dialogs; ScriptedDialogProvider (scripted_dialogs.h) answers from queues.
#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "app/window_port.h"
#include "support/platform.h"

class QWidget;

namespace picmap {

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  // The chosen path, or std::nullopt when the dialog was cancelled.
  virtual std::optional<std::u16string> OpenFile(QWidget* parent,
                                                 const FileDialogRequest& request) = 0;
  virtual std::optional<std::u16string> SaveFile(QWidget* parent,
                                                 const FileDialogRequest& request) = 0;
  // initial -1: no initial colour. std::nullopt when cancelled.
  virtual std::optional<int32_t> Color(QWidget* parent, int32_t initial) = 0;
  // The entered text; an empty text when cancelled.
  virtual std::u16string Input(QWidget* parent, const std::u16string& title,
                               const std::u16string& prompt,
                               const std::u16string& defaultText) = 0;
  virtual MsgAnswer Message(QWidget* parent, const std::u16string& text,
                            const std::u16string& title, MsgButtons buttons, MsgIcon icon) = 0;
  // An OK box with its detail (why, with the numbers) as a second line of the text itself:
  // the reason is what the user needs, so it is never folded away.
  virtual void MessageWithDetail(QWidget* parent, const std::u16string& text,
                                 const std::u16string& detail, const std::u16string& title,
                                 MsgIcon icon) {
    Message(parent, detail.empty() ? text : text + u"\r\n" + detail, title, MsgButtons::Ok, icon);
  }
};

class QtDialogProvider : public DialogProvider {
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
};

// A "desc|patterns|desc|patterns|" filter as Qt name filters "desc (patterns)". Patterns are
// separated by ";" in the source and by blanks in Qt; each pattern is offered in upper and
// lower case as well as written, because file names on Linux keep their letter case.
QStringList QtNameFilters(const std::u16string& filter);

// The folder and the file-name part of a dialog's initial file name ("/" or "\" separate);
// a name with wildcards stands for the folder only and gives an empty file part.
struct InitialName {
  QString folder;
  QString file;
};
InitialName SplitInitialName(const std::u16string& fileName);

}  // namespace picmap
