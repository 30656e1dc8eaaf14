#include <gtest/gtest.h>

#include "support/errormng.h"
#include "support/platform.h"

using namespace picmap;

namespace {

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
  EXPECT_EQ(m.text, FileErrorText(53) +
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
  EXPECT_EQ(ports.messages.shown.back().text.rfind(FileErrorText(0), 0), 0u);
}

TEST(FileErrorDialog, NonFileErrorsAlwaysPassUp) {
  ScopedScriptedPorts ports;
  EXPECT_EQ(Decide(ports, err::kSubscript, MsgAnswer::Yes, u""), 3);
  const ShownMessage& m = ports.messages.shown.back();
  EXPECT_EQ(m.title, u"その他エラー");
  EXPECT_EQ(m.buttons, MsgButtons::Ok);
  // No text of its own: the message starts with an empty line, and no file line follows.
  EXPECT_EQ(m.text, u"\r\n*Code=9\r\n*Source=clsThings.Load/\r\n*Description=desc");

  EXPECT_EQ(Decide(ports, err::kWarning, MsgAnswer::Ok), 3);
  EXPECT_EQ(ports.messages.shown.back().title, u"警告");
  EXPECT_EQ(ports.messages.shown.back().text.substr(0, 19), u"\r\n*Code=-2147211505");
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
