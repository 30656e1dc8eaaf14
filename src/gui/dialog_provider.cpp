#include "gui/dialog_provider.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "app/picture_loader.h"
#include "gui/qt_text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {


QStringList CaseVariants(const QString& pattern) {
  QStringList out{pattern};
  for (const QString& v : {pattern.toUpper(), pattern.toLower()})
    if (!out.contains(v)) out << v;
  return out;
}

QString QtPatterns(const QString& patterns) {
  QStringList all;
  for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
    for (const QString& v : CaseVariants(p.trimmed()))
      if (!all.contains(v)) all << v;
  return all.join(QLatin1Char(' '));
}

void PrepareFileDialog(QFileDialog& dlg, const FileDialogRequest& request) {
  const QStringList filters = QtNameFilters(request.filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
      dlg.selectNameFilter(filters[request.filterIndex - 1]);
  }
  const InitialName initial = SplitInitialName(request.fileName);
  if (!initial.folder.isEmpty()) dlg.setDirectory(initial.folder);
  if (!initial.file.isEmpty()) dlg.selectFile(initial.file);
}

std::optional<std::u16string> RunFileDialog(QFileDialog& dlg) {
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList files = dlg.selectedFiles();
  if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
  return FromQ(files.first());
}

struct ButtonChoice {
  QMessageBox::StandardButton button;
  MsgAnswer answer;
};

std::vector<ButtonChoice> ButtonsOf(MsgButtons buttons) {
  using B = QMessageBox;
  switch (buttons) {
    case MsgButtons::Ok: return {{B::Ok, MsgAnswer::Ok}};
    case MsgButtons::OkCancel: return {{B::Ok, MsgAnswer::Ok}, {B::Cancel, MsgAnswer::Cancel}};
    case MsgButtons::YesNo: return {{B::Yes, MsgAnswer::Yes}, {B::No, MsgAnswer::No}};
    case MsgButtons::YesNoCancel:
      return {{B::Yes, MsgAnswer::Yes}, {B::No, MsgAnswer::No}, {B::Cancel, MsgAnswer::Cancel}};
    case MsgButtons::RetryCancel:
      return {{B::Retry, MsgAnswer::Retry}, {B::Cancel, MsgAnswer::Cancel}};
    case MsgButtons::AbortRetryIgnore:
      return {{B::Abort, MsgAnswer::Abort},
              {B::Retry, MsgAnswer::Retry},
              {B::Ignore, MsgAnswer::Ignore}};
  }
  return {{B::Ok, MsgAnswer::Ok}};
}

QMessageBox::Icon QtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

// Closing the box without a button gives the answer a dismissing click would give.
MsgAnswer DismissAnswer(const std::vector<ButtonChoice>& choices) {
  for (const ButtonChoice& c : choices)
    if (c.answer == MsgAnswer::Cancel) return c.answer;
  return choices.back().answer;
}

}  // namespace

QStringList QtNameFilters(const std::u16string& filter) {
  const QStringList parts = ToQ(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) continue;
    out << parts[i] + QStringLiteral(" (") + QtPatterns(parts[i + 1]) + QLatin1Char(')');
  }
  return out;
}

InitialName SplitInitialName(const std::u16string& fileName) {
  QString name = ToQ(fileName);
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
  InitialName out;
  out.folder = slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : name.left(slash));
  out.file = name.mid(slash + 1);
  if (out.file.contains(QLatin1Char('*')) || out.file.contains(QLatin1Char('?'))) out.file.clear();
  return out;
}

std::optional<std::u16string> QtDialogProvider::OpenFile(QWidget* parent,
                                                         const FileDialogRequest& request) {
  QFileDialog dlg(parent, ToQ(request.title.empty() ? Tr("frmMain", "ファイルを開く") : request.title));
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::ExistingFile);
  PrepareFileDialog(dlg, request);
  return RunFileDialog(dlg);
}

std::optional<std::u16string> QtDialogProvider::SaveFile(QWidget* parent,
                                                         const FileDialogRequest& request) {
  QFileDialog dlg(parent, ToQ(request.title));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setFileMode(QFileDialog::AnyFile);
  // The map writer keeps an existing file as a backup, so overwriting is not questioned.
  dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
  PrepareFileDialog(dlg, request);
  return RunFileDialog(dlg);
}

std::optional<int32_t> QtDialogProvider::Color(QWidget* parent, int32_t initial) {
  QColorDialog dlg(parent);
  if (initial != -1) dlg.setCurrentColor(QColor(RgbFromColour(initial)));
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  const QColor c = dlg.selectedColor();
  if (!c.isValid()) return std::nullopt;
  return ColourFromRgb(c.rgb());
}

std::u16string QtDialogProvider::Input(QWidget* parent, const std::u16string& title,
                                       const std::u16string& prompt,
                                       const std::u16string& defaultText) {
  QInputDialog dlg(parent);
  dlg.setInputMode(QInputDialog::TextInput);
  dlg.setWindowTitle(ToQ(title));
  dlg.setLabelText(ToDisplayText(prompt));
  dlg.setTextValue(ToQ(defaultText));
  if (dlg.exec() != QDialog::Accepted) return u"";
  return FromQ(dlg.textValue());
}

MsgAnswer QtDialogProvider::Message(QWidget* parent, const std::u16string& text,
                                    const std::u16string& title, MsgButtons buttons,
                                    MsgIcon icon) {
  const std::vector<ButtonChoice> choices = ButtonsOf(buttons);
  QMessageBox box(QtIcon(icon), ToQ(title), ToDisplayText(text), QMessageBox::NoButton, parent);
  for (const ButtonChoice& c : choices) box.addButton(c.button);
  box.setDefaultButton(choices.front().button);
  box.exec();
  const auto clicked = box.standardButton(box.clickedButton());
  for (const ButtonChoice& c : choices)
    if (c.button == clicked) return c.answer;
  return DismissAnswer(choices);
}

}  // namespace picmap
