#include "support/errormng.h"

#include <string>

#include "support/platform.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

constexpr char16_t kCrLf[] = u"\r\n";

struct DialogLayout {
  std::u16string title;
  std::u16string text;
  MsgButtons buttons = MsgButtons::Ok;
  bool fixedDecision = false;  // the answer does not matter: the decision is 3
};

bool IsFileError(int32_t number) { return number >= 52 && number <= 76; }

// File errors that a retry can mend (the file may appear, the disk may be freed ...).
bool OffersRetry(int32_t number) {
  switch (number) {
    case err::kFileNotFound:
    case err::kDeviceIo:
    case err::kDiskFull:
    case err::kDeviceUnavailable:
    case err::kPermissionDenied:
    case err::kDiskNotReady:
    case err::kPathNotFound: return true;
    default: return false;
  }
}

DialogLayout LayoutFor(int32_t number) {
  if (IsFileError(number)) {
    return {Tr("ErrorMng", "ドライブ関連エラー"), FileErrorText(number),
            OffersRetry(number) ? MsgButtons::YesNoCancel : MsgButtons::Ok, false};
  }
  if (number == err::kWarning) return {Tr("ErrorMng", "警告"), u"", MsgButtons::Ok, true};
  return {Tr("ErrorMng", "その他エラー"), u"", MsgButtons::Ok, true};
}

FileErrorPresenter gPresenter = nullptr;

// The causes that file errors carry in their description (support/errors.cpp and the staged
// writer), in words a person reads; the error number alone would hide them (75 stands for four).
struct KnownCause {
  const char16_t* description;
  const char* words;
};
constexpr KnownCause kKnownCauses[] = {
    {u"Read-only file system", QT_TRANSLATE_NOOP("ErrorMng", "読み取り専用のドライブです.")},
    {u"Permission denied", QT_TRANSLATE_NOOP("ErrorMng", "アクセス権がありません.")},
    {u"Is a folder", QT_TRANSLATE_NOOP("ErrorMng", "同じ名前のフォルダーがあります.")},
    {u"File name too long", QT_TRANSLATE_NOOP("ErrorMng", "ファイル名が長すぎます.")},
    {u"A part of the path is not a folder",
     QT_TRANSLATE_NOOP("ErrorMng", "パスの途中がフォルダーではありません.")},
    {u"Disk quota exceeded", QT_TRANSLATE_NOOP("ErrorMng", "ディスクの使用量の上限を超えています.")},
    {u"No such folder", QT_TRANSLATE_NOOP("ErrorMng", "保存先のフォルダーがありません.")},
};

// Errors other than file errors, as the reason of the leading sentence.
std::u16string ReasonInWords(const Error& e) {
  switch (e.Number()) {
    case err::kOutOfMemory: return Tr("ErrorMng", "メモリが足りません.");
    case err::kOverflow: return Tr("ErrorMng", "数値が扱える範囲を超えました.");
    case err::kMapVersion: return Tr("ErrorMng", "この版の地図ファイルには対応していません.");
    case err::kMapElement: return Tr("ErrorMng", "地図ファイルの内容が正しくありません.");
    case err::kSubscript: return Tr("ErrorMng", "添字が範囲外です.");
    case err::kDivisionByZero: return Tr("ErrorMng", "0 で割ろうとしました.");
    case err::kTypeMismatch: return Tr("ErrorMng", "型が一致しません.");
    case err::kInvalidCall: return Tr("ErrorMng", "手続きの呼び出しまたは引数が正しくありません.");
    default: break;
  }
  const std::u16string& d = e.Description();
  if (d.empty()) return Tr("ErrorMng", "原因は下の記録のとおりです.");
  return d.back() == u'.' || d.back() == u'。' ? d : d + u".";
}

// The file an error is about: the one the caller names, else the absolute path that a file
// error's description ends with ("Permission denied: /maps/japan.MLL").
std::u16string FileOf(const Error& e, const std::u16string& file) {
  if (!file.empty()) return file;
  const std::u16string& d = e.Description();
  const size_t at = d.find(u": /");
  return at == std::u16string::npos ? std::u16string() : d.substr(at + 2);
}

// The sentence a person reads first: which file, and why in words. The lines of the record
// (code, source, description) stay below it for whoever looks into the failure.
std::u16string LeadingSentence(const Error& e, const std::u16string& file) {
  const std::u16string named = FileOf(e, file);
  if (!IsFileError(e.Number())) {
    const std::u16string what =
        named.empty() ? Tr("ErrorMng", "処理中にエラーが発生しました: %2")
                      : Tr("ErrorMng", "ファイル「%1」の処理中にエラーが発生しました: %2");
    return Arg(what, {named, ReasonInWords(e)});
  }
  const std::u16string sentence =
      named.empty() ? Tr("ErrorMng", "ファイルにアクセスできませんでした: %2")
                    : Tr("ErrorMng", "ファイル「%1」にアクセスできませんでした: %2");
  for (const KnownCause& c : kKnownCauses) {
    if (e.Description().find(c.description) != std::u16string::npos)
      return Arg(sentence, {named, Tr("ErrorMng", c.words)});
  }
  return Arg(sentence, {named, FileErrorText(e.Number())});
}

std::u16string DialogMessage(const DialogLayout& layout, const Error& e, const std::u16string& file) {
  std::u16string m = layout.text;
  m += kCrLf + std::u16string(u"*Code=") + FromUtf8(std::to_string(e.Number()));
  m += kCrLf + std::u16string(u"*Source=") + e.Source();
  m += kCrLf + std::u16string(u"*Description=") + e.Description();
  if (!file.empty()) m += kCrLf + std::u16string(u"*File=") + file;
  if (layout.buttons == MsgButtons::YesNoCancel) m += kCrLf + Tr("ErrorMng", "再試行しますか？");
  return m;
}

int16_t DecisionOf(MsgAnswer answer) {
  switch (answer) {
    case MsgAnswer::Yes: return 0;
    case MsgAnswer::Ok:
    case MsgAnswer::No: return 1;
    case MsgAnswer::Cancel: return 2;
    default: return 3;
  }
}

}  // namespace

std::u16string FileErrorText(int32_t number) {
  switch (number) {
    case err::kBadFileNameOrNumber: return Tr("ErrorMng", "ファイル名またはファイル番号が正しくありません.");
    case err::kFileNotFound: return Tr("ErrorMng", "ファイルが見つかりません.");
    case err::kBadFileMode: return Tr("ErrorMng", "ファイルのモードが正しくありません.");
    case err::kFileAlreadyOpen: return Tr("ErrorMng", "ファイルは既に開かれています.");
    case err::kDeviceIo: return Tr("ErrorMng", "デバイスの入出力でエラーが発生しました.");
    case err::kFileAlreadyExists: return Tr("ErrorMng", "ファイルは既に存在します.");
    case err::kBadRecordLength: return Tr("ErrorMng", "レコードの長さが正しくありません.");
    case err::kDiskFull: return Tr("ErrorMng", "ディスクの空き容量が足りません.");
    case err::kInputPastEnd: return Tr("ErrorMng", "ファイルの終わりを越えて読み込もうとしました.");
    case err::kBadRecordNumber: return Tr("ErrorMng", "レコード番号が正しくありません.");
    case err::kBadFileName: return Tr("ErrorMng", "ファイル名が正しくありません.");
    case err::kTooManyFiles: return Tr("ErrorMng", "開いているファイルが多すぎます.");
    case err::kDeviceUnavailable: return Tr("ErrorMng", "デバイスが使用できません.");
    case err::kPermissionDenied: return Tr("ErrorMng", "ファイルへのアクセスが拒否されました.");
    case err::kDiskNotReady: return Tr("ErrorMng", "ディスクの準備ができていません.");
    case err::kRenameAcrossDrives: return Tr("ErrorMng", "別のドライブへ名前を変更することはできません.");
    case err::kPathFileAccess: return Tr("ErrorMng", "パスまたはファイルへのアクセスでエラーが発生しました.");
    case err::kPathNotFound: return Tr("ErrorMng", "パスが見つかりません.");
    default: return Tr("ErrorMng", "ファイルの読み書きでエラーが発生しました.");
  }
}

FileErrorPresenter SetFileErrorPresenter(FileErrorPresenter presenter) {
  const FileErrorPresenter old = gPresenter;
  gPresenter = presenter;
  return old;
}

int16_t FileErrorDialog(const Error& current, const std::u16string& file) {
  DialogLayout layout = LayoutFor(current.Number());
  if (gPresenter) {
    layout.buttons = MsgButtons::Ok;  // no retry question
    gPresenter(current, file, DialogMessage(layout, current, file));
    return layout.fixedDecision ? int16_t{3} : int16_t{1};
  }
  // An empty line parts the sentence from the record (whose own empty text makes it for the
  // errors that are not file errors).
  const std::u16string lead =
      LeadingSentence(current, file) + kCrLf + (layout.text.empty() ? u"" : kCrLf);
  const MsgAnswer answer = MessageBox().Show(lead + DialogMessage(layout, current, file),
                                             layout.title, layout.buttons, MsgIcon::Exclamation);
  return layout.fixedDecision ? int16_t{3} : DecisionOf(answer);
}

}  // namespace picmap
