// The small ports through which the libraries reach the platform: message boxes, the screen
// mouse pointer, letting pending window events run, the program's folder and version, and the
// clock. The desktop window, the command-line tool and the tests each install their own.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace picmap {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgIcon { None, Error, Exclamation, Question, Information };
enum class MsgAnswer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };

class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  virtual MsgAnswer Show(const std::u16string& text, const std::u16string& title,
                         MsgButtons buttons, MsgIcon icon) = 0;
};

// Mouse-pointer codes as the window system numbers them.
namespace pointer {
constexpr int16_t kDefault = 0;
constexpr int16_t kArrow = 1;
constexpr int16_t kCross = 2;
constexpr int16_t kIBeam = 3;
constexpr int16_t kSizePointer = 5;  // the four-way move arrow
constexpr int16_t kSizeNESW = 6;
constexpr int16_t kSizeNS = 7;
constexpr int16_t kSizeNWSE = 8;
constexpr int16_t kSizeWE = 9;
constexpr int16_t kUpArrow = 10;
constexpr int16_t kHourglass = 11;
constexpr int16_t kNoDrop = 12;
}  // namespace pointer

class PointerPort {
 public:
  virtual ~PointerPort() = default;
  virtual int16_t ScreenPointer() const = 0;
  virtual void SetScreenPointer(int16_t code) = 0;
};

class EventsPort {
 public:
  virtual ~EventsPort() = default;
  // Lets pending window events run (the cancel menu among them).
  virtual void DoEvents() = 0;
};

struct ProgramInfo {
  std::u16string folder;  // the folder the program's data files are in, without trailing "/"
  std::u16string title;   // the application's title for message boxes
  int major = 1;
  int minor = 0;
  int revision = 0;
};

struct DateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class ClockPort {
 public:
  virtual ~ClockPort() = default;
  virtual DateTime Now() const = 0;
};

// The system's date and time texts (a Japanese system): short date 2026/12/07, long date
// 2026年12月7日, time 4:52:01, general date 2026/12/07 4:52:01.
std::u16string ShortDateText(const DateTime& t);
std::u16string LongDateText(const DateTime& t);
std::u16string TimeText(const DateTime& t);
std::u16string GeneralDateText(const DateTime& t);
// Seconds since 1970-01-01 of a local date and time, and back (for identifiers and stamps).
int64_t ToEpochSeconds(const DateTime& t);
DateTime FromEpochSeconds(int64_t s);

// The ports in force. Defaults: messages go to standard error and are answered with the first
// button's "give up" answer, the pointer is remembered only, events do nothing, the clock is
// the local clock, the program folder is the current folder.
MessageBoxPort& MessageBox();
PointerPort& Pointer();
EventsPort& Events();
const ProgramInfo& Program();
ClockPort& Clock();
DateTime Now();

// Installs a port; the previous one is returned so a caller can put it back. The caller keeps
// ownership and must keep the object alive while it is installed.
MessageBoxPort* SetMessageBoxPort(MessageBoxPort* p);
PointerPort* SetPointerPort(PointerPort* p);
EventsPort* SetEventsPort(EventsPort* p);
ClockPort* SetClockPort(ClockPort* p);
void SetProgramInfo(const ProgramInfo& info);

// Shows a message box with the application's title.
MsgAnswer ShowMessage(const std::u16string& text, MsgButtons buttons = MsgButtons::Ok,
                      MsgIcon icon = MsgIcon::None);

// ---- Scripted ports for tests and the command-line tool ----

struct ShownMessage {
  std::u16string text, title;
  MsgButtons buttons;
  MsgIcon icon;
};

// Records every message and answers from a queue; an empty queue answers `fallback`, or the
// dismissing answer of the buttons (OK, Cancel or No) when no fallback is set.
class ScriptedMessageBox : public MessageBoxPort {
 public:
  MsgAnswer Show(const std::u16string& text, const std::u16string& title, MsgButtons buttons,
                 MsgIcon icon) override;
  std::vector<ShownMessage> shown;
  std::deque<MsgAnswer> answers;
  bool hasFallback = false;
  MsgAnswer fallback = MsgAnswer::Ok;
};

class ScriptedPointer : public PointerPort {
 public:
  int16_t ScreenPointer() const override { return current; }
  void SetScreenPointer(int16_t code) override {
    current = code;
    history.push_back(code);
  }
  int16_t current = pointer::kDefault;
  std::vector<int16_t> history;
};

class CountingEvents : public EventsPort {
 public:
  void DoEvents() override { ++count; }
  long count = 0;
};

class FixedClock : public ClockPort {
 public:
  explicit FixedClock(DateTime t) : now(t) {}
  DateTime Now() const override { return now; }
  DateTime now;
};

// Installs scripted ports for the lifetime of the object and restores the previous ones.
class ScopedScriptedPorts {
 public:
  ScopedScriptedPorts();
  ~ScopedScriptedPorts();
  ScopedScriptedPorts(const ScopedScriptedPorts&) = delete;
  ScopedScriptedPorts& operator=(const ScopedScriptedPorts&) = delete;
  ScriptedMessageBox messages;
  ScriptedPointer pointer;
  CountingEvents events;
  FixedClock clock{DateTime{2026, 12, 7, 4, 52, 1}};

 private:
  MessageBoxPort* oldMessages_;
  PointerPort* oldPointer_;
  EventsPort* oldEvents_;
  ClockPort* oldClock_;
  ProgramInfo oldInfo_;
};

}  // namespace picmap
