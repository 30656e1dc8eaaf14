#include <gtest/gtest.h>

#include "support/errormng.h"
#include "support/platform.h"

using namespace picmap;

namespace {

std::u16string FirstLine(const std::u16string& text) { return text.substr(0, text.find(u"\r\n")); }

Error FileError(int32_t n) { return Error(n, u"clsThings.Load/", u"desc"); }

int16_t Decide(ScopedScriptedPorts& ports, int32_t number, MsgAnswer answer,
               const std::u16string& file = u"/tmp/x.THG") {
  ports.messages.answers.push_back(answer);
  return FileErrorDialog(FileError(number), file);
}

}  // namespace

TEST(FileErrorDialog, RetryableErrorsAskTheRetryQuestion) {
  ScopedScriptedPorts ports;
  EXPECT_EQ(Decide(ports, 53, MsgAnswer::Yes), 0);
  const ShownMessage& m = ports.messages.shown.back();
  EXPECT_EQ(m.title, u"ドライブ関連エラー");
  EXPECT_EQ(m.buttons, MsgButtons::YesNoCancel);
  EXPECT_EQ(m.icon, MsgIcon::Exclamation);
  EXPECT_EQ(m.text, u"ファイル「/tmp/x.THG」にアクセスできませんでした: " + FileErrorText(53) + u"\r\n\r\n" +
                        FileErrorText(53) +
                        u"\r\n*Code=53\r\n*Source=clsThings.Load/\r\n*Description=desc"
                        u"\r\n*File=/tmp/x.THG\r\n再試行しますか？");
  EXPECT_EQ(Decide(ports, 70, MsgAnswer::No), 1);
  EXPECT_EQ(Decide(ports, 76, MsgAnswer::Cancel), 2);
  for (int32_t n : {53, 57, 61, 68, 70, 71, 76}) {
    Decide(ports, n, MsgAnswer::Yes);
    EXPECT_EQ(ports.messages.shown.back().buttons, MsgButtons::YesNoCancel) << n;
  }
}

TEST(FileErrorDialog, OtherFileErrorsOnlyInform) {
  ScopedScriptedPorts ports;
  EXPECT_EQ(Decide(ports, 52, MsgAnswer::Ok), 1);
  EXPECT_EQ(ports.messages.shown.back().buttons, MsgButtons::Ok);
  EXPECT_EQ(ports.messages.shown.back().text.find(u"再試行"), std::u16string::npos);
  for (int32_t n : {54, 55, 58, 59, 62, 63, 64, 67, 74, 75, 56, 60, 72}) {
    EXPECT_EQ(Decide(ports, n, MsgAnswer::Ok), 1) << n;
    EXPECT_EQ(ports.messages.shown.back().buttons, MsgButtons::Ok) << n;
    EXPECT_EQ(ports.messages.shown.back().title, u"ドライブ関連エラー") << n;
  }
}

TEST(FileErrorDialog, EachFileErrorHasItsOwnTextAndUnlistedOnesTheGeneralOne) {
  EXPECT_NE(FileErrorText(53), FileErrorText(52));
  EXPECT_NE(FileErrorText(53), FileErrorText(0));
  EXPECT_EQ(FileErrorText(56), FileErrorText(0));
  EXPECT_EQ(FileErrorText(73), FileErrorText(0));
  ScopedScriptedPorts ports;
  Decide(ports, 56, MsgAnswer::Ok);
  EXPECT_NE(ports.messages.shown.back().text.find(u"\r\n\r\n" + FileErrorText(0) + u"\r\n*Code=56"),
            std::u16string::npos);
}

TEST(FileErrorDialog, NonFileErrorsAlwaysPassUp) {
  ScopedScriptedPorts ports;
  EXPECT_EQ(Decide(ports, err::kSubscript, MsgAnswer::Yes, u""), 3);
  const ShownMessage& m = ports.messages.shown.back();
  EXPECT_EQ(m.title, u"その他エラー");
  EXPECT_EQ(m.buttons, MsgButtons::Ok);
  // No text of its own: below the leading sentence an empty line, and no file line follows.
  EXPECT_EQ(m.text, u"処理中にエラーが発生しました: 添字が範囲外です.\r\n"
                    u"\r\n*Code=9\r\n*Source=clsThings.Load/\r\n*Description=desc");

  EXPECT_EQ(Decide(ports, err::kWarning, MsgAnswer::Ok), 3);
  EXPECT_EQ(ports.messages.shown.back().title, u"警告");
  EXPECT_NE(ports.messages.shown.back().text.find(u"\r\n\r\n*Code=-2147211505"),
            std::u16string::npos);
}

// A person reads first which file failed and why, in words; the record follows unchanged.
TEST(FileErrorDialog, LeadsWithTheFileAndTheCauseInWords) {
  ScopedScriptedPorts ports;
  const Error readOnly(err::kPathFileAccess, u"",
                       u"Read-only file system: /usr/share/maps/japan.MLL");
  FileErrorDialog(readOnly, u"");
  EXPECT_EQ(ports.messages.shown.back().text,
            u"ファイル「/usr/share/maps/japan.MLL」にアクセスできませんでした: 読み取り専用のドライブです.\r\n\r\n" +
                FileErrorText(75) + u"\r\n*Code=75\r\n*Source=\r\n*Description=" +
                readOnly.Description());
  FileErrorDialog(Error(err::kPathFileAccess, u"", u"Permission denied: /srv/a.THG"),
                  u"/srv/a.THG");
  EXPECT_EQ(FirstLine(ports.messages.shown.back().text),
            u"ファイル「/srv/a.THG」にアクセスできませんでした: アクセス権がありません.");
  FileErrorDialog(Error(err::kOutOfMemory, u"clsMap.Load/", u"Out of memory"), u"/maps/big.MLL");
  EXPECT_EQ(FirstLine(ports.messages.shown.back().text),
            u"ファイル「/maps/big.MLL」の処理中にエラーが発生しました: メモリが足りません.");

  // The command line reports the record in its own one line: no sentence is put before it.
  static std::u16string presented;
  const FileErrorPresenter old = SetFileErrorPresenter(
      [](const Error&, const std::u16string&, const std::u16string& text) { presented = text; });
  FileErrorDialog(readOnly, u"");
  SetFileErrorPresenter(old);
  EXPECT_EQ(presented.substr(0, FileErrorText(75).size()), FileErrorText(75));
}

TEST(RetryFileStatement, RetriesWhileTheUserSaysYes) {
  ScopedScriptedPorts ports;
  ports.messages.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
  int calls = 0;
  int result = RetryFileStatement(u"f", [&] {
    if (++calls < 3) Throw(err::kFileNotFound);
    return 42;
  });
  EXPECT_EQ(result, 42);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(ports.messages.shown.size(), 2u);
}

TEST(RetryFileStatement, GivingUpThrowsTheFailureWithItsDecision) {
  ScopedScriptedPorts ports;
  ports.messages.answers = {MsgAnswer::Cancel};
  try {
    RetryFileStatement(u"f", [] { Throw(err::kPathNotFound); });
    FAIL();
  } catch (const FileFailure& f) {
    EXPECT_EQ(f.error.Number(), err::kPathNotFound);
    EXPECT_EQ(f.decision, 2);
    EXPECT_TRUE(f.PassUp());
  }
  ports.messages.answers = {MsgAnswer::No};
  try {
    RetryFileStatement(u"f", [] { Throw(err::kFileNotFound); });
    FAIL();
  } catch (const FileFailure& f) {
    EXPECT_EQ(f.decision, 1);
    EXPECT_FALSE(f.PassUp());
  }
}
