// Faults a save must survive without harm: a file-size limit that cuts writing off at a chosen
// byte, and file-system permissions that hold for root too (through the file-system user id).
#pragma once

#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/errors.h"
#include "support/stagedfile.h"
#include "support/text.h"

namespace picmap::test {

// Every file this process writes may grow to `bytes` only; a write past it fails (EFBIG)
// instead of ending the process.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    const rlimit limit{bytes, old_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit old_{};
};

// Permission checks as an ordinary user even when the tests run as root, who may write
// anywhere: the file-system user id drops the override while it is not 0.
class ScopedOrdinaryUser {
 public:
  ScopedOrdinaryUser() : wasRoot_(::geteuid() == 0) {
    if (wasRoot_) ::setfsuid(kNobody);
  }
  ~ScopedOrdinaryUser() {
    if (wasRoot_) ::setfsuid(0);
  }
  ScopedOrdinaryUser(const ScopedOrdinaryUser&) = delete;
  ScopedOrdinaryUser& operator=(const ScopedOrdinaryUser&) = delete;
  static constexpr uid_t kNobody = 65534;

 private:
  bool wasRoot_;
};

// Every file of a folder with its bytes, to show that a failed save changed nothing.
inline std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    std::string bytes;
    if (e.is_regular_file()) {
      std::FILE* f = std::fopen(e.path().c_str(), "rb");
      char buffer[1 << 15];
      size_t n;
      while (f && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
      if (f) std::fclose(f);
    }
    files[e.path().filename().string()] = e.is_directory() ? "<folder>" : bytes;
  }
  return files;
}

// Makes the `step`-th step of every save from now on fail with a full disk (Kind::Fail) or end
// the process there as a kill would (Kind::Kill); counts the steps either way.
class SaveStepFault {
 public:
  enum class Kind { Fail, Kill };
  SaveStepFault(int step, Kind kind) {
    target_ = step;
    kind_ = kind;
    seen_ = 0;
    previous_ = SetSaveStepHook(&OnStep);
  }
  ~SaveStepFault() { SetSaveStepHook(previous_); }
  SaveStepFault(const SaveStepFault&) = delete;
  SaveStepFault& operator=(const SaveStepFault&) = delete;
  // Whether the chosen step came.
  static bool Reached() { return seen_ >= target_; }

 private:
  static void OnStep(const char*) {
    if (++seen_ != target_) return;
    if (kind_ == Kind::Kill) ::raise(SIGKILL);
    Throw(61);
  }
  static inline int target_ = 0;
  static inline int seen_ = 0;
  static inline Kind kind_ = Kind::Fail;
  SaveStepHook previous_;
};

// Runs `save` in a child process that is killed at its `step`-th save step. True when it was
// killed there; false when the save ran to its end first (then every step has been tried).
inline bool KilledAtStep(int step, const std::function<void()>& save) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const SaveStepFault kill(step, SaveStepFault::Kind::Kill);
    try {
      save();
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// Names of temporary files that saves left in `folder`.
inline std::vector<std::string> TemporaryFiles(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().find(".tmp") != std::string::npos)
      names.push_back(e.path().filename().string());
  return names;
}

}  // namespace picmap::test
