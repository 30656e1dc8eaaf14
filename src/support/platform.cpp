#include "support/platform.h"

#include <ctime>
#include <iostream>

#include "support/text.h"

namespace picmap {

namespace {

MsgAnswer DismissingAnswer(MsgButtons b) {
  switch (b) {
    case MsgButtons::Ok: return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::No;
    case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
    default: return MsgAnswer::Cancel;
  }
}

class StderrMessageBox : public MessageBoxPort {
 public:
  MsgAnswer Show(const std::u16string& text, const std::u16string&, MsgButtons buttons,
                 MsgIcon) override {
    std::cerr << ToUtf8(text) << std::endl;
    return DismissingAnswer(buttons);
  }
};

class RememberedPointer : public PointerPort {
 public:
  int16_t ScreenPointer() const override { return code_; }
  void SetScreenPointer(int16_t code) override { code_ = code; }

 private:
  int16_t code_ = pointer::kDefault;
};

class NoEvents : public EventsPort {
 public:
  void DoEvents() override {}
};

class LocalClock : public ClockPort {
 public:
  DateTime Now() const override {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }
};

StderrMessageBox gDefaultMessages;
RememberedPointer gDefaultPointer;
NoEvents gDefaultEvents;
LocalClock gDefaultClock;

MessageBoxPort* gMessages = &gDefaultMessages;
PointerPort* gPointer = &gDefaultPointer;
EventsPort* gEvents = &gDefaultEvents;
ClockPort* gClock = &gDefaultClock;
ProgramInfo gInfo{u".", u"picmap", 1, 0, 0};

std::u16string Digits(int v, size_t width) {
  std::string s = std::to_string(v);
  while (s.size() < width) s.insert(s.begin(), '0');
  return FromUtf8(s);
}

}  // namespace

std::u16string ShortDateText(const DateTime& t) {
  return Digits(t.year, 4) + u"/" + Digits(t.month, 2) + u"/" + Digits(t.day, 2);
}

std::u16string LongDateText(const DateTime& t) {
  return Digits(t.year, 4) + u"年" + Digits(t.month, 1) + u"月" + Digits(t.day, 1) + u"日";
}

std::u16string TimeText(const DateTime& t) {
  return Digits(t.hour, 1) + u":" + Digits(t.minute, 2) + u":" + Digits(t.second, 2);
}

std::u16string GeneralDateText(const DateTime& t) {
  return ShortDateText(t) + u" " + TimeText(t);
}

int64_t ToEpochSeconds(const DateTime& t) {
  // Days from civil date (proleptic Gregorian), so no time-zone database is involved.
  int y = t.year - (t.month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (t.month + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + t.day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

DateTime FromEpochSeconds(int64_t s) {
  int64_t days = s >= 0 ? s / 86400 : (s - 86399) / 86400;
  int64_t rem = s - days * 86400;
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t doe = days - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  DateTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.hour = static_cast<int>(rem / 3600);
  t.minute = static_cast<int>(rem % 3600 / 60);
  t.second = static_cast<int>(rem % 60);
  return t;
}

MessageBoxPort& MessageBox() { return *gMessages; }
PointerPort& Pointer() { return *gPointer; }
EventsPort& Events() { return *gEvents; }
const ProgramInfo& Program() { return gInfo; }
ClockPort& Clock() { return *gClock; }
DateTime Now() { return gClock->Now(); }

MessageBoxPort* SetMessageBoxPort(MessageBoxPort* p) {
  MessageBoxPort* old = gMessages;
  gMessages = p ? p : &gDefaultMessages;
  return old;
}
PointerPort* SetPointerPort(PointerPort* p) {
  PointerPort* old = gPointer;
  gPointer = p ? p : &gDefaultPointer;
  return old;
}
EventsPort* SetEventsPort(EventsPort* p) {
  EventsPort* old = gEvents;
  gEvents = p ? p : &gDefaultEvents;
  return old;
}
ClockPort* SetClockPort(ClockPort* p) {
  ClockPort* old = gClock;
  gClock = p ? p : &gDefaultClock;
  return old;
}
void SetProgramInfo(const ProgramInfo& info) { gInfo = info; }

MsgAnswer ShowMessage(const std::u16string& text, MsgButtons buttons, MsgIcon icon) {
  return MessageBox().Show(text, Program().title, buttons, icon);
}

MsgAnswer ScriptedMessageBox::Show(const std::u16string& text, const std::u16string& title,
                                   MsgButtons buttons, MsgIcon icon) {
  shown.push_back(ShownMessage{text, title, buttons, icon});
  if (!answers.empty()) {
    MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  return hasFallback ? fallback : DismissingAnswer(buttons);
}

ScopedScriptedPorts::ScopedScriptedPorts()
    : oldMessages_(SetMessageBoxPort(&messages)),
      oldPointer_(SetPointerPort(&pointer)),
      oldEvents_(SetEventsPort(&events)),
      oldClock_(SetClockPort(&clock)),
      oldInfo_(Program()) {}

ScopedScriptedPorts::~ScopedScriptedPorts() {
  SetMessageBoxPort(oldMessages_);
  SetPointerPort(oldPointer_);
  SetEventsPort(oldEvents_);
  SetClockPort(oldClock_);
  SetProgramInfo(oldInfo_);
}

}  // namespace picmap
