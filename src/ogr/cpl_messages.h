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

// While it lives, the libraries' messages become GDAL warnings; kept `quiet`, they are dropped
// and the caller tells their cause in a line of its own (a thing file that cannot be read,
// told once with what the map is read without).
class CplMessages final : public MessageBoxPort {
 public:
  explicit CplMessages(bool quiet = false) : previous_(SetMessageBoxPort(this)), quiet_(quiet) {}
  ~CplMessages() override { SetMessageBoxPort(previous_); }
  CplMessages(const CplMessages&) = delete;
  CplMessages& operator=(const CplMessages&) = delete;

  // Reports the text (unless quiet) and answers with the buttons' "give up" answer.
  MsgAnswer Show(const std::u16string& text, const std::u16string& title, MsgButtons buttons,
                 MsgIcon icon) override;
  // The first line of the last message, for a caller that has no error to tell.
  std::string LastLine() const { return ToUtf8(last_.substr(0, last_.find_first_of(u"\r\n"))); }

 private:
  MessageBoxPort* previous_;
  bool quiet_;
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
