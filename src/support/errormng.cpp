#include "support/errormng.h"

#include <string>

#include "support/platform.h"
#include "support/text.h"

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
    return {u"ドライブ関連エラー", FileErrorText(number),
            OffersRetry(number) ? MsgButtons::YesNoCancel : MsgButtons::Ok, false};
  }
  if (number == err::kWarning) return {u"警告", u"", MsgButtons::Ok, true};
  return {u"その他エラー", u"", MsgButtons::Ok, true};
}

FileErrorPresenter gPresenter = nullptr;

std::u16string DialogMessage(const DialogLayout& layout, const Error& e, const std::u16string& file) {
  std::u16string m = layout.text;
  m += kCrLf + std::u16string(u"*Code=") + FromUtf8(std::to_string(e.Number()));
  m += kCrLf + std::u16string(u"*Source=") + e.Source();
  m += kCrLf + std::u16string(u"*Description=") + e.Description();
  if (!file.empty()) m += kCrLf + std::u16string(u"*File=") + file;
  if (layout.buttons == MsgButtons::YesNoCancel) m += kCrLf + std::u16string(u"再試行しますか？");
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
    case err::kBadFileNameOrNumber: return u"ファイル名またはファイル番号が正しくありません.";
    case err::kFileNotFound: return u"ファイルが見つかりません.";
    case err::kBadFileMode: return u"ファイルのモードが正しくありません.";
    case err::kFileAlreadyOpen: return u"ファイルは既に開かれています.";
    case err::kDeviceIo: return u"デバイスの入出力でエラーが発生しました.";
    case err::kFileAlreadyExists: return u"ファイルは既に存在します.";
    case err::kBadRecordLength: return u"レコードの長さが正しくありません.";
    case err::kDiskFull: return u"ディスクの空き容量が足りません.";
    case err::kInputPastEnd: return u"ファイルの終わりを越えて読み込もうとしました.";
    case err::kBadRecordNumber: return u"レコード番号が正しくありません.";
    case err::kBadFileName: return u"ファイル名が正しくありません.";
    case err::kTooManyFiles: return u"開いているファイルが多すぎます.";
    case err::kDeviceUnavailable: return u"デバイスが使用できません.";
    case err::kPermissionDenied: return u"ファイルへのアクセスが拒否されました.";
    case err::kDiskNotReady: return u"ディスクの準備ができていません.";
    case err::kRenameAcrossDrives: return u"別のドライブへ名前を変更することはできません.";
    case err::kPathFileAccess: return u"パスまたはファイルへのアクセスでエラーが発生しました.";
    case err::kPathNotFound: return u"パスが見つかりません.";
    default: return u"ファイルの読み書きでエラーが発生しました.";
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
  const MsgAnswer answer = MessageBox().Show(DialogMessage(layout, current, file), layout.title,
                                             layout.buttons, MsgIcon::Exclamation);
  return layout.fixedDecision ? int16_t{3} : DecisionOf(answer);
}

}  // namespace picmap
