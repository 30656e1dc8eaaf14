// What every harness shares: quiet, non-interactive platform ports (a message box answered
// with its dismissing button and forgotten at once, a fixed clock) and a scratch folder in
// memory when the machine has one, so that file round trips cost no disk flushes.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "support/errors.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::fuzz {

class QuietMessages : public MessageBoxPort {
 public:
  MsgAnswer Show(const std::u16string&, const std::u16string&, MsgButtons buttons,
                 MsgIcon) override {
    ++count;
    switch (buttons) {
      case MsgButtons::Ok: return MsgAnswer::Ok;
      case MsgButtons::YesNo:
      case MsgButtons::YesNoCancel: return MsgAnswer::No;  // the file dialog's "give up"
      case MsgButtons::AbortRetryIgnore: return MsgAnswer::Abort;
      default: return MsgAnswer::Cancel;  // never retry: a retried read would read the same
    }
  }
  long count = 0;
};

// Installed once for the whole run of a harness.
class Environment {
 public:
  Environment() {
    SetMessageBoxPort(&messages_);
    SetPointerPort(&pointer_);
    SetEventsPort(&events_);
    SetClockPort(&clock_);
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path base =
        std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    folder_ = base / ("picmap_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    Program();  // settles the program information before anything reads it
  }
  ~Environment() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  // A path in the scratch folder; any file of that name is removed first, so each round trip
  // starts from nothing (and a save never takes the backup branch).
  std::string Fresh(const std::string& name) const {
    const std::string p = (folder_ / name).string();
    std::filesystem::remove(p);
    return p;
  }
  std::string Write(const std::string& name, std::string_view bytes) const {
    const std::string p = Fresh(name);
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Removes every file of the folder (backups or temporaries a failed save left behind would
  // pile up over millions of runs).
  void Sweep() const {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder_, ec))
      std::filesystem::remove_all(e.path(), ec);
  }

 private:
  QuietMessages messages_;
  ScriptedPointer pointer_;
  CountingEvents events_;
  FixedClock clock_{DateTime{2026, 12, 7, 4, 52, 1}};
  std::filesystem::path folder_;
};

// A broken property: the input that shows it is kept by libFuzzer when the run aborts.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "property broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void Check(bool ok, const std::string& what) {
  if (!ok) Fail(what);
}

// The result of a document's Load or Save; a failure the file-error dialog passes up as an
// Error counts as that error's number.
template <class F>
int32_t Outcome(F&& loadOrSave) {
  try {
    return loadOrSave();
  } catch (const Error& e) {
    return e.Number() == 0 ? -1 : e.Number();
  }
}

// Bytes as hexadecimal pairs, for failure messages.
template <class Bytes>
std::string Hex(const Bytes& bytes) {
  std::string out;
  char b[4];
  for (auto c : bytes) {
    std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(c));
    out += b;
  }
  return out;
}

// A UTF-16 text in a form that can be printed in a failure message.
inline std::string Show(const std::u16string& s) { return ToUtf8(s); }

}  // namespace picmap::fuzz
