#include "things/textlines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "support/binfile.h"
#include "support/errors.h"
#include "support/text.h"

namespace picmap {

namespace {

[[noreturn]] void ThrowErrno(int e, const std::string& path) {
  const int32_t number = FileErrorFromErrno(e);
  Throw(number, u"", DefaultDescription(number) + u": " + FromUtf8(path));
}

// Reads everything behind `fd`; a folder and other unreadable things fail here.
std::string ReadAll(int fd, const std::string& path) {
  std::string data;
  char buffer[1 << 15];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) return data;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      ::close(fd);
      ThrowErrno(e, path);
    }
    data.append(buffer, static_cast<size_t>(n));
  }
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

}  // namespace

// ---- TextLineReader ----

TextLineReader::~TextLineReader() { Close(); }

void TextLineReader::Open(const std::u16string& path) {
  Close();
  const std::string p = ToUtf8(path);
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowErrno(errno, p);
  data_ = ReadAll(fd, p);
  ::close(fd);
  pos_ = 0;
  open_ = true;
}

void TextLineReader::Close() {
  data_.clear();
  pos_ = 0;
  open_ = false;
}

bool TextLineReader::AtEnd() const {
  if (!open_) Throw(err::kBadFileNameOrNumber);
  return pos_ >= data_.size();
}

std::u16string TextLineReader::ReadLine() {
  if (AtEnd()) Throw(err::kInputPastEnd);
  // Neither byte of a double-byte character is ever a CR or LF, so bytes can be split here.
  size_t end = data_.find('\n', pos_);
  const size_t next = end == std::string::npos ? data_.size() : end + 1;
  if (end == std::string::npos) end = data_.size();
  if (end > pos_ && data_[end - 1] == '\r') --end;
  std::u16string line = FromCp932(std::string_view(data_).substr(pos_, end - pos_));
  pos_ = next;
  return line;
}

// ---- TextLineWriter ----

TextLineWriter::~TextLineWriter() { Discard(); }

void TextLineWriter::Open(const std::u16string& target) {
  Discard();
  target_ = ResolvedTarget(ToUtf8(target));
  fd_ = CreateTemporary(target_, temporary_);
  CopyPermissions(target_, fd_);
  content_.clear();
}

void TextLineWriter::WriteLine(const std::u16string& line) {
  if (!IsOpen() || fd_ < 0) Throw(err::kBadFileNameOrNumber);
  content_ += ToCp932(line);
  content_ += "\r\n";
}

void TextLineWriter::WriteContent() {
  // From the start each time, so that a run after a failed one leaves no half-written tail.
  if (::ftruncate(fd_, 0) != 0) ThrowErrno(errno, temporary_);
  size_t done = 0;
  while (done < content_.size()) {
    const ssize_t n = ::pwrite(fd_, content_.data() + done, content_.size() - done,
                               static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ThrowErrno(n < 0 ? errno : ENOSPC, temporary_);
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd_) != 0) ThrowErrno(errno, temporary_);
}

void TextLineWriter::Commit() {
  if (!IsOpen()) Throw(err::kBadFileNameOrNumber);
  if (fd_ >= 0) {
    WriteContent();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ThrowErrno(errno, temporary_);
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) ThrowErrno(errno, target_);
  temporary_.clear();
  content_.clear();
  SyncFolder(FolderOf(target_));
}

void TextLineWriter::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  content_.clear();
}

}  // namespace picmap
