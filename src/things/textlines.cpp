#include "things/textlines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "support/binfile.h"
#include "support/errors.h"
#include "support/text.h"

namespace picmap {

namespace {

[[noreturn]] void ThrowErrno(int e, const std::string& path) { ThrowFileError(e, path); }

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

}  // namespace

// ---- TextLineReader ----

std::u16string SourceLine::Location() const {
  return u"(Line:" + FromUtf8(std::to_string(number)) + u": " + text + u")";
}

TextLineReader::~TextLineReader() { Close(); }

void TextLineReader::Open(const std::u16string& path) {
  Close();
  const std::string p = ToUtf8(path);
  const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowErrno(errno, p);
  std::string data = ReadAll(fd, p);
  ::close(fd);
  Take(std::move(data));
}

void TextLineReader::OpenContent(std::string bytes) {
  Close();
  Take(std::move(bytes));
}

void TextLineReader::Take(std::string data) {
  constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
  data_ = std::move(data);
  // Both readings are checked, not guessed: a file that reads cleanly as code page 932 stays
  // code page 932, the thing file's own encoding.
  if (data_.starts_with(kUtf8Mark)) {
    utf8_ = true;
    pos_ = kUtf8Mark.size();
  } else {
    utf8_ = !IsCp932(data_) && IsUtf8(data_);
  }
  open_ = true;
}

void TextLineReader::Close() {
  data_.clear();
  pos_ = 0;
  lineNumber_ = 0;
  utf8_ = false;
  open_ = false;
}

bool TextLineReader::AtEnd() const {
  if (!open_) Throw(err::kBadFileNameOrNumber);
  return pos_ >= data_.size();
}

std::u16string TextLineReader::ReadLine() {
  if (AtEnd()) Throw(err::kInputPastEnd);
  // Neither byte of a double-byte character (nor of a UTF-8 sequence) is ever a CR or LF, so
  // bytes can be split here.
  size_t end = data_.find('\n', pos_);
  const size_t next = end == std::string::npos ? data_.size() : end + 1;
  if (end == std::string::npos) end = data_.size();
  if (end > pos_ && data_[end - 1] == '\r') --end;
  const std::string_view bytes = std::string_view(data_).substr(pos_, end - pos_);
  std::u16string line = utf8_ ? FromUtf8(bytes) : FromCp932(bytes);
  pos_ = next;
  ++lineNumber_;
  return line;
}

// ---- TextLineWriter ----

TextLineWriter::~TextLineWriter() { Discard(); }

void TextLineWriter::Open(const std::u16string& target) {
  Discard();
  staging_.Create(target);
  target_ = ToUtf8(target);
  content_.clear();
  written_ = false;
}

void TextLineWriter::WriteLine(const std::u16string& line) {
  if (!IsOpen() || written_) Throw(err::kBadFileNameOrNumber);
  content_ += ToCp932(line);
  content_ += "\r\n";
}

void TextLineWriter::WriteContent() {
  const int fd = staging_.Descriptor();
  // From the start each time, so that a run after a failed one leaves no half-written tail.
  if (::ftruncate(fd, 0) != 0) ThrowErrno(errno, target_);
  size_t done = 0;
  while (done < content_.size()) {
    const ssize_t n = ::pwrite(fd, content_.data() + done, content_.size() - done,
                               static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ThrowErrno(n < 0 ? errno : ENOSPC, target_);
    done += static_cast<size_t>(n);
  }
  staging_.Finish();
  written_ = true;
}

void TextLineWriter::Commit(bool keepBackup) {
  if (!IsOpen()) Throw(err::kBadFileNameOrNumber);
  if (!written_) WriteContent();
  staging_.Commit(keepBackup);
  content_.clear();
}

void TextLineWriter::Discard() {
  staging_.Discard();
  content_.clear();
  written_ = false;
}

}  // namespace picmap
