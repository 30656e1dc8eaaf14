#include "ogr/cpl_messages.h"

#include <cpl_error.h>

#include "support/text.h"

namespace picmap::ogr {

// The map reader's descriptions end in a "/" for each procedure the error passed through.
std::string DescriptionText(const Error& e) {
  std::u16string d = e.Description();
  while (!d.empty() && d.back() == u'/') d.pop_back();
  return ToUtf8(d);
}

std::string ErrorText(const Error& e) {
  const std::string description = DescriptionText(e);
  if (e.Source().empty()) return description + " (error " + std::to_string(e.Number()) + ")";
  return "error " + std::to_string(e.Number()) + " in " + ToUtf8(e.Source()) + ": " + description;
}

namespace {

// The answer that gives up, for the buttons a message offers: no retry loops in a host.
MsgAnswer GiveUpAnswer(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::Ok: return MsgAnswer::Ok;
    case MsgButtons::YesNo: return MsgAnswer::No;
    case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    default: return MsgAnswer::Cancel;
  }
}

}  // namespace

MsgAnswer CplMessages::Show(const std::u16string& text, const std::u16string&, MsgButtons buttons,
                            MsgIcon) {
  last_ = text;
  if (quiet_) return GiveUpAnswer(buttons);
  std::string line = ToUtf8(text);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  CPLError(CE_Warning, CPLE_AppDefined, "MLL: %s", line.c_str());
  return GiveUpAnswer(buttons);
}


namespace {

// The description of a file error ends in the path the line names already.
void ReportFileError(const Error& e, const std::u16string& file, const std::u16string&) {
  std::u16string cause = e.Description();
  const size_t path = cause.rfind(u": ");
  if (path != std::u16string::npos && cause.find(u'/', path) != std::u16string::npos) cause.resize(path);
  CPLError(CE_Failure, CPLE_FileIO, "MLL: %s: %s (error %d)", ToUtf8(file).c_str(),
           ToUtf8(cause).c_str(), e.Number());
}

}  // namespace

CplFileErrors::CplFileErrors() : previous_(SetFileErrorPresenter(&ReportFileError)) {}
CplFileErrors::~CplFileErrors() { SetFileErrorPresenter(previous_); }

}  // namespace picmap::ogr
