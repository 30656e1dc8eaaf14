#include "support/stagedfile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "support/binfile.h"
#include "support/errors.h"
#include "support/library.h"
#include "support/text.h"

namespace picmap {

namespace {

[[noreturn]] void ThrowErrno(int e, const std::string& path) {
  const int32_t number = FileErrorFromErrno(e);
  Throw(number, u"", DefaultDescription(number) + u": " + FromUtf8(path));
}

// The file a rename has to replace: through a symbolic link to the file it names.
std::string ResolvedTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A new file beside `target`, named after it so that a left-over is recognisable.
int CreateTemporary(const std::string& target, std::string& name) {
  for (int attempt = 0;; ++attempt) {
    name = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt >= 100) ThrowErrno(errno, target);
  }
}

// Keeps the old file's permission bits on the file that replaces it.
void CopyPermissions(const std::string& from, int fd) {
  struct stat st {};
  if (::stat(from.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // durability of the rename is best effort
  ::fsync(fd);
  ::close(fd);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

void StagedFile::Create(const std::u16string& target) {
  Discard();
  const std::string resolved = ResolvedTarget(ToUtf8(target));
  if (IsFolder(resolved)) ThrowErrno(EISDIR, resolved);
  std::string name;
  const int fd = CreateTemporary(resolved, name);
  CopyPermissions(resolved, fd);
  target_ = resolved;
  temporary_ = name;
  fd_ = fd;
}

void StagedFile::Finish() {
  if (!IsOpen()) Throw(err::kBadFileNameOrNumber);
  if (fd_ < 0) return;
  if (::fsync(fd_) != 0) ThrowErrno(errno, temporary_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowErrno(errno, temporary_);
}

void StagedFile::Commit(const std::u16string& backup) {
  Finish();
  const bool keepOld = !backup.empty() && Exists(target_);
  if (keepOld) RenameKeepingTarget(FromUtf8(target_), backup);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int e = errno;
    if (keepOld) ::rename(ToUtf8(backup).c_str(), target_.c_str());
    ThrowErrno(e, target_);
  }
  temporary_.clear();
  SyncFolder(FolderOf(target_));
}

void StagedFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

std::u16string BackupFileName(const std::u16string& file) {
  const size_t cut = file.size() < 4 ? 0 : file.size() - 4;
  return file.substr(0, cut) + u"-" + DateTimeDigits(u"-") + file.substr(cut);
}

void RenameKeepingTarget(const std::u16string& from, const std::u16string& to) {
  const std::string src = ToUtf8(from), dst = ToUtf8(to);
  if (::syscall(SYS_renameat2, AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0)
    return;
  int e = errno;
  if (e == ENOSYS || e == EINVAL) {  // a file system without the no-replace rename
    if (Exists(dst)) Throw(err::kFileAlreadyExists);
    if (std::rename(src.c_str(), dst.c_str()) == 0) return;
    e = errno;
  }
  Throw(FileErrorFromErrno(e));
}

bool FileHolds(const std::u16string& file, const std::string& content) {
  std::FILE* f = std::fopen(ToUtf8(file).c_str(), "rb");
  if (!f) return false;
  std::string data;
  char buffer[1 << 15];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    data.append(buffer, n);
    if (data.size() > content.size()) break;
  }
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok && data == content;
}

}  // namespace picmap
