#include "support/stagedfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "support/errors.h"
#include "support/library.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap {

namespace {

// The longest file name (one path component, in bytes) the usual Linux file systems take.
constexpr size_t kNameMax = NAME_MAX;
// What the temporary naming adds to a name: ".tmp", a process number and "_" with a count.
constexpr size_t kTemporarySuffixMax = 4 + 10 + 1 + 10;

SaveStepHook gStepHook = nullptr;
SaveNoticeSink gNoticeSink = nullptr;
thread_local SaveTransaction* gTransaction = nullptr;
std::atomic<unsigned> gTemporaryCount{0};

void Step(const char* step) {
  if (gStepHook) gStepHook(step);
}

void Notice(const std::u16string& line) {
  if (gNoticeSink) gNoticeSink(line);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Beside(const std::string& target, const std::string& name) {
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? name : target.substr(0, slash + 1) + name;
}

// The longest start of `name` within `bytes` that does not cut a UTF-8 character.
std::string Utf8Prefix(const std::string& name, size_t bytes) {
  if (name.size() <= bytes) return name;
  size_t cut = bytes;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

// A target's name as its temporary files start, short enough for the naming to fit.
std::string TemporaryStem(const std::string& target) {
  return Utf8Prefix(NameOf(target), kNameMax - kTemporarySuffixMax) + ".tmp";
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The process number in a temporary name of the stem ("<stem><pid>_<count>"), or -1.
long TemporaryOwner(const std::string& name, const std::string& stem) {
  if (name.compare(0, stem.size(), stem) != 0) return -1;
  const std::string rest = name.substr(stem.size());
  const size_t underscore = rest.find('_');
  if (underscore == std::string::npos) return -1;
  const std::string pid = rest.substr(0, underscore), count = rest.substr(underscore + 1);
  if (!AllDigits(pid) || !AllDigits(count) || pid.size() > 10) return -1;
  return std::strtol(pid.c_str(), nullptr, 10);
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

void RemoveAll(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

// A new file beside `target`, named after it so that a left-over is recognisable.
int CreateTemporary(const std::string& target, std::string& name) {
  for (int attempt = 0;; ++attempt) {
    name = TemporaryNameBeside(target);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST || attempt >= 100) ThrowFileError(errno, target);
  }
}

// Keeps the old file's permission bits on the file that replaces it.
void CopyPermissions(const std::string& from, int fd) {
  struct stat st {};
  if (::stat(from.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
}

void WriteAllTo(int fd, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ThrowFileError(n < 0 ? errno : ENOSPC, path);
    data += n;
    size -= static_cast<size_t>(n);
  }
}

// A copy of `from` created as `to` (never replacing it): the second name of an old file where
// the file system has no hard links.
void CopyAsNewFile(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) ThrowFileError(errno, from);
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) {
    const int e = errno;
    ::close(in);
    ThrowFileError(e, to);
  }
  try {
    CopyPermissions(from, out);
    char buffer[1 << 16];
    for (;;) {
      const ssize_t n = ::read(in, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ThrowFileError(errno, from);
      if (n == 0) break;
      WriteAllTo(out, buffer, static_cast<size_t>(n), to);
    }
    if (::fsync(out) != 0) ThrowFileError(errno, to);
  } catch (...) {
    ::close(in);
    ::close(out);
    ::unlink(to.c_str());
    throw;
  }
  ::close(in);
  if (::close(out) != 0) {
    const int e = errno;
    ::unlink(to.c_str());
    ThrowFileError(e, to);
  }
}

// Gives the file at `target` the second name `to` while it keeps its own: a hard link, or a
// copy where the file system has none. False when `to` is taken.
bool SecondName(const std::string& target, const std::string& to) {
  if (::link(target.c_str(), to.c_str()) == 0) return true;
  switch (errno) {
    case EEXIST: return false;
    case EPERM:
    case EOPNOTSUPP:
    case EMLINK:
    case EXDEV:
      if (Exists(to)) return false;
      CopyAsNewFile(target, to);
      return true;
    default: ThrowFileError(errno, to);
  }
}

// The time-stamped backup name and whether its base had to be shortened to fit.
std::u16string StampedName(const std::u16string& file, bool* shortened) {
  const size_t cut = file.size() < 4 ? 0 : file.size() - 4;
  const size_t slash = file.rfind(u'/');
  const size_t baseStart = (slash == std::u16string::npos || slash + 1 > cut) ? 0 : slash + 1;
  const std::u16string tail = u"-" + DateTimeDigits(u"-") + file.substr(cut);
  const std::string base = ToUtf8(file.substr(baseStart, cut - baseStart));
  const size_t room = kNameMax > ToUtf8(tail).size() ? kNameMax - ToUtf8(tail).size() : 0;
  const std::string kept = Utf8Prefix(base, room);
  if (shortened) *shortened = kept.size() < base.size();
  return file.substr(0, baseStart) + FromUtf8(kept) + tail;
}

}  // namespace

// ---- the save lock of a folder ----

class SaveLock {
 public:
  explicit SaveLock(const std::string& folder) : folder_(folder) { Acquire(); }
  ~SaveLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor ends the lock
  }
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;
  bool Held() const { return held_; }

 private:
  void Acquire() {
    fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    const auto waitNotice = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    bool told = false;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) return;  // no locks on this file system
      if (!told && std::chrono::steady_clock::now() >= waitNotice) {
        Notice(Arg(Tr("StagedFile", "%1 で他の保存が終わるのを待っています"), {FromUtf8(folder_)}));
        told = true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    held_ = true;
  }

  std::string folder_;
  int fd_ = -1;
  bool held_ = false;
};

std::shared_ptr<SaveLock> LockSavesBeside(const std::string& target) {
  // One lock per folder for the whole process: a second descriptor of this process would wait
  // for the first one's lock for ever.
  static std::mutex guard;
  static std::map<std::string, std::weak_ptr<SaveLock>> locks;
  const std::string folder = FolderOf(target);
  std::lock_guard<std::mutex> hold(guard);
  if (auto lock = locks[folder].lock()) return lock;
  auto lock = std::make_shared<SaveLock>(folder);
  locks[folder] = lock;
  return lock;
}

void RemoveStaleTemporaries(const SaveLock& lock, const std::string& target) {
  if (!lock.Held()) return;  // another save may be writing them
  const std::string stem = TemporaryStem(target);
  const std::string folder = FolderOf(target);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir)) {
    const long owner = TemporaryOwner(entry->d_name, stem);
    if (owner >= 0 && owner != ::getpid()) stale.push_back(Beside(target, entry->d_name));
  }
  ::closedir(dir);
  for (const std::string& path : stale) RemoveAll(path);
  if (stale.empty()) return;
  Notice(Arg(Tr("StagedFile", "中断された保存が %2 の横に残した一時ファイル %1 個を削除しました"),
             {FromUtf8(std::to_string(stale.size())), FromUtf8(target)}));
}

std::string TemporaryNameBeside(const std::string& target) {
  return Beside(target, TemporaryStem(target) + std::to_string(::getpid()) + "_" +
                            std::to_string(gTemporaryCount++));
}

std::string ResolvedTarget(const std::string& path) {
  std::string resolved = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return resolved;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(resolved.c_str(), link, sizeof link - 1);
    if (n <= 0) return resolved;
    const std::string to(link, static_cast<size_t>(n));
    resolved = to.front() == '/' ? to : FolderOf(resolved) + "/" + to;
  }
  ThrowFileError(ELOOP, path);
}

// ---- one file's way into place ----

struct StagedFile::Pending {
  std::string target;
  std::string temporary;
  bool keepBackup = false;
  std::shared_ptr<SaveLock> lock;
  std::string kept;  // the old file's second name, once it has one
  bool published = false;
};

namespace {

using Pending = StagedFile::Pending;

bool IsFolderTarget(const Pending& p) { return IsFolder(p.temporary) || IsFolder(p.target); }

// The backup name of the old file, waiting for the clock's next second while it is taken.
void KeepAsBackup(Pending& p) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  for (;;) {
    bool shortened = false;
    const std::string name = ToUtf8(StampedName(FromUtf8(p.target), &shortened));
    if (SecondName(p.target, name)) {
      p.kept = name;
      if (shortened)
        Notice(Arg(Tr("StagedFile", "%1 のバックアップは短くした名前 %2 で残しています"),
                   {FromUtf8(p.target), FromUtf8(name)}));
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline)
      Throw(err::kFileAlreadyExists, u"", u"the backup name " + FromUtf8(name) + u" is taken");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void KeepForRollback(Pending& p) {
  for (;;) {
    const std::string name = TemporaryNameBeside(p.target);
    if (SecondName(p.target, name)) {
      p.kept = name;
      return;
    }
  }
}

// A folder (an export of several files) cannot be linked: it moves aside for a moment.
void KeepFolder(Pending& p) {
  const std::string name = p.keepBackup ? ToUtf8(StampedName(FromUtf8(p.target), nullptr))
                                        : TemporaryNameBeside(p.target);
  RenameKeepingTarget(FromUtf8(p.target), FromUtf8(name));
  p.kept = name;
}

void ForgetSecondName(Pending& p) {
  if (p.kept.empty()) return;
  if (IsFolderTarget(p) && !Exists(p.target)) {
    ::rename(p.kept.c_str(), p.target.c_str());
  } else {
    ::unlink(p.kept.c_str());
  }
  p.kept.clear();
}

// The old file keeps a second name, then the new one takes the target's name in one rename.
void Publish(Pending& p) {
  const bool hadOld = Exists(p.target);
  try {
    if (hadOld && IsFolderTarget(p)) {
      KeepFolder(p);
    } else if (hadOld) {
      p.keepBackup ? KeepAsBackup(p) : KeepForRollback(p);
    }
    Step("kept");
    if (::rename(p.temporary.c_str(), p.target.c_str()) != 0) ThrowFileError(errno, p.target);
  } catch (...) {
    ForgetSecondName(p);
    throw;
  }
  p.published = true;
  SyncFolder(FolderOf(p.target));
  Step("replaced");
}

// After Publish: the old file back under its name (or no file, where there was none).
void Revert(Pending& p) {
  if (!p.published) return;
  if (p.kept.empty()) {
    RemoveAll(p.target);
  } else if (IsFolderTarget(p)) {
    RemoveAll(p.target);
    ::rename(p.kept.c_str(), p.target.c_str());
  } else {
    ::rename(p.kept.c_str(), p.target.c_str());
  }
  p.kept.clear();
  p.published = false;
  SyncFolder(FolderOf(p.target));
}

// The save is over: a second name kept only to put the old file back goes.
std::u16string Settle(Pending& p) {
  std::u16string backup;
  if (!p.kept.empty() && p.keepBackup) backup = FromUtf8(p.kept);
  else if (!p.kept.empty()) RemoveAll(p.kept);
  p.kept.clear();
  p.lock.reset();
  return backup;
}

void DiscardPending(Pending& p) {
  if (!p.published && !p.temporary.empty()) RemoveAll(p.temporary);
  p.lock.reset();
}

}  // namespace

// ---- StagedFile ----

StagedFile::StagedFile() = default;
StagedFile::~StagedFile() { Discard(); }

void StagedFile::Create(const std::u16string& target) {
  Discard();
  const std::string resolved = ResolvedTarget(ToUtf8(target));
  if (IsFolder(resolved)) ThrowFileError(EISDIR, resolved);
  if (!IsFolder(FolderOf(resolved)))
    Throw(err::kFileNotFound, u"", u"No such folder: " + FromUtf8(FolderOf(resolved)));
  std::shared_ptr<SaveLock> lock = LockSavesBeside(resolved);
  RemoveStaleTemporaries(*lock, resolved);
  std::string name;
  const int fd = CreateTemporary(resolved, name);
  CopyPermissions(resolved, fd);
  target_ = resolved;
  temporary_ = name;
  fd_ = fd;
  lock_ = std::move(lock);
  keptBackup_.clear();
  Step("staged");
}

void StagedFile::Adopt(const std::u16string& target, const std::u16string& written) {
  Discard();
  target_ = ResolvedTarget(ToUtf8(target));
  temporary_ = ToUtf8(written);
  lock_ = LockSavesBeside(target_);
  keptBackup_.clear();
  Step("staged");
  const int fd = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  Step("written");
}

void StagedFile::Finish() {
  if (!IsOpen()) Throw(err::kBadFileNameOrNumber);
  if (fd_ < 0) return;
  if (::fsync(fd_) != 0) ThrowFileError(errno, temporary_);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowFileError(errno, temporary_);
  Step("written");
}

void StagedFile::Commit(bool keepBackup) {
  Finish();
  auto p = std::make_unique<Pending>(Pending{target_, temporary_, keepBackup, lock_, {}, false});
  if (gTransaction) {
    gTransaction->pending_.push_back(std::move(p));
    temporary_.clear();
    lock_.reset();
    return;
  }
  try {
    Publish(*p);
  } catch (...) {
    if (p->published) {  // failed after the rename: the old file goes back, the new is lost
      Revert(*p);
      temporary_.clear();
    }
    throw;
  }
  temporary_.clear();
  keptBackup_ = Settle(*p);
  lock_.reset();
}

void StagedFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) RemoveAll(temporary_);
  temporary_.clear();
  lock_.reset();
}

// ---- SaveTransaction ----

SaveTransaction::SaveTransaction() : outer_(gTransaction) { gTransaction = this; }

SaveTransaction::~SaveTransaction() {
  for (auto& p : pending_) DiscardPending(*p);
  gTransaction = outer_;
}

void SaveTransaction::Complete() {
  gTransaction = outer_;  // nothing after this is handed over any more
  if (!keepBackups_)
    for (auto& p : pending_) p->keepBackup = false;
  size_t done = 0;
  try {
    for (; done < pending_.size(); ++done) Publish(*pending_[done]);
  } catch (...) {
    if (done < pending_.size()) {
      failedTarget_ = FromUtf8(pending_[done]->target);
      Revert(*pending_[done]);
    }
    for (size_t i = done; i-- > 0;) Revert(*pending_[i]);
    for (auto& p : pending_) DiscardPending(*p);
    pending_.clear();
    throw;
  }
  for (auto& p : pending_) {
    const std::u16string backup = Settle(*p);
    if (!backup.empty()) keptBackups_.push_back(backup);
  }
  pending_.clear();
}

// ---- helpers ----

SaveStepHook SetSaveStepHook(SaveStepHook hook) {
  const SaveStepHook old = gStepHook;
  gStepHook = hook;
  return old;
}

SaveNoticeSink SetSaveNoticeSink(SaveNoticeSink sink) {
  const SaveNoticeSink old = gNoticeSink;
  gNoticeSink = sink;
  return old;
}

std::u16string BackupFileName(const std::u16string& file) { return StampedName(file, nullptr); }

void RenameKeepingTarget(const std::u16string& from, const std::u16string& to) {
  const std::string src = ToUtf8(from), dst = ToUtf8(to);
  if (::syscall(SYS_renameat2, AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0)
    return;
  int e = errno;
  if (e == ENOSYS || e == EINVAL) {  // a file system without the no-replace rename
    if (Exists(dst)) Throw(err::kFileAlreadyExists, u"", u"File already exists: " + to);
    if (std::rename(src.c_str(), dst.c_str()) == 0) return;
    e = errno;
  }
  ThrowFileError(e, dst);
}

void WriteFileStaged(const std::u16string& target, const std::string& bytes, bool keepBackup) {
  StagedFile file;
  file.Create(target);
  WriteAllTo(file.Descriptor(), bytes.data(), bytes.size(), file.Target());
  file.Commit(keepBackup);
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
