// While the driver works, the map and thing libraries' messages become GDAL warnings instead
// of going to whatever message port the host process has.
#pragma once

#include <string>

#include "support/errormng.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::ogr {

// An error of the map or thing library as the tail of a CPLError line: its description and
// number, and the procedure that raised it where one is named.
std::string ErrorText(const Error& e);
// The description alone.
std::string DescriptionText(const Error& e);

class CplMessages final : public MessageBoxPort {
 public:
  CplMessages() : previous_(SetMessageBoxPort(this)) {}
  ~CplMessages() override { SetMessageBoxPort(previous_); }
  CplMessages(const CplMessages&) = delete;
  CplMessages& operator=(const CplMessages&) = delete;

  // Reports the text and answers with the buttons' "give up" answer (no retry loops).
  MsgAnswer Show(const std::u16string& text, const std::u16string& title, MsgButtons buttons,
                 MsgIcon icon) override;

 private:
  MessageBoxPort* previous_;
};

// While it lives, the libraries' messages are dropped: the caller tells their cause in a line of
// its own (a thing file that cannot be read, told once with what the map is read without).
class SilentMessages final : public MessageBoxPort {
 public:
  SilentMessages() : previous_(SetMessageBoxPort(this)) {}
  ~SilentMessages() override { SetMessageBoxPort(previous_); }
  SilentMessages(const SilentMessages&) = delete;
  SilentMessages& operator=(const SilentMessages&) = delete;
  MsgAnswer Show(const std::u16string& text, const std::u16string&, MsgButtons buttons, MsgIcon) override {
    last_ = text;
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : buttons == MsgButtons::YesNo ? MsgAnswer::No
           : buttons == MsgButtons::AbortRetryIgnore ? MsgAnswer::Abort : MsgAnswer::Cancel;
  }
  // The first line of the last message dropped, for a caller that has no error to tell.
  std::string LastLine() const { return ToUtf8(last_.substr(0, last_.find_first_of(u"\r\n"))); }

 private:
  MessageBoxPort* previous_;
  std::u16string last_;
};

// While it lives, a file error of the map or the thing catalogue is one CPLError line naming the
// file and the cause, never the window's dialog with its retry question.
class CplFileErrors {
 public:
  CplFileErrors();
  ~CplFileErrors();
  CplFileErrors(const CplFileErrors&) = delete;
  CplFileErrors& operator=(const CplFileErrors&) = delete;

 private:
  FileErrorPresenter previous_;
};

}  // namespace picmap::ogr
