// Faults a save must survive without harm: a file-size limit that cuts writing off at a chosen
// byte, and file-system permissions that hold for root too (through the file-system user id).
#pragma once

#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <string>

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

}  // namespace picmap::test
