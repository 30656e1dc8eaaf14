#include "support/binfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/errors.h"
#include "support/text.h"

namespace picmap {

namespace {

[[noreturn]] void ThrowErrno(int e, const std::u16string& path) { ThrowFileError(e, ToUtf8(path)); }
}  // namespace

BinaryReader::~BinaryReader() { Close(); }

void BinaryReader::Open(const std::u16string& path) {
  Close();
  std::string p = ToUtf8(path);
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (!f) ThrowErrno(errno, path);
  // A folder opens for reading here and reports an endless size; it is no file to read.
  struct stat st {};
  if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(f);
    Throw(err::kPathFileAccess);
  }
  if (std::fseek(f, 0, SEEK_END) != 0) {
    int e = errno;
    std::fclose(f);
    ThrowErrno(e, path);
  }
  size_ = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  if (size_ < 0) {  // a folder or another thing that cannot be read as a file
    std::fclose(f);
    Throw(err::kPathFileAccess);
  }
  f_ = f;
  pos_ = 0;
  bufferStart_ = 0;
  buffer_.clear();
}

void BinaryReader::Open(std::unique_ptr<ByteSource> source) {
  Close();
  const int64_t size = source->Size();
  if (size < 0) Throw(err::kPathFileAccess);
  source_ = std::move(source);
  size_ = size;
  pos_ = 0;
  bufferStart_ = 0;
}

void BinaryReader::Close() {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  source_.reset();
  size_ = pos_ = 0;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

void BinaryReader::Seek(int64_t pos) {
  if (!IsOpen()) Throw(err::kBadFileNameOrNumber);
  if (pos < 0 || pos > size_) Throw(err::kBadRecordNumber);
  pos_ = pos;
}

void BinaryReader::Require(int64_t n) const {
  if (!IsOpen()) Throw(err::kBadFileNameOrNumber);
  if (n < 0 || n > size_ - pos_) Throw(err::kInputPastEnd);
}

// Reads go through a buffer filled from the file at the read position; a read that is larger
// than a refill goes straight to the caller.
void BinaryReader::ReadBytes(void* dst, size_t n) {
  Require(static_cast<int64_t>(n));
  if (n == 0) return;
  const int64_t offset = pos_ - bufferStart_;
  if (offset < 0 || static_cast<uint64_t>(offset) + n > buffer_.size()) {
    if (n >= refillSize_) {
      ReadAt(static_cast<uint8_t*>(dst), n, pos_);
      pos_ += static_cast<int64_t>(n);
      return;
    }
    Refill(n);
  }
  std::memcpy(dst, buffer_.data() + (pos_ - bufferStart_), n);
  pos_ += static_cast<int64_t>(n);
}

const uint8_t* BinaryReader::Peek(size_t n) {
  if (!IsOpen()) Throw(err::kBadFileNameOrNumber);
  if (static_cast<int64_t>(n) > size_ - pos_) return nullptr;
  const int64_t offset = pos_ - bufferStart_;
  if (offset < 0 || static_cast<uint64_t>(offset) + n > buffer_.size()) Refill(n);
  return buffer_.data() + (pos_ - bufferStart_);
}

const uint8_t* BinaryReader::PeekRun(size_t n, size_t& available) {
  const uint8_t* p = Peek(n);
  available = p ? buffer_.size() - static_cast<size_t>(pos_ - bufferStart_) : 0;
  return p;
}

// The buffer from the read position on, holding at least the next n bytes (which the file has).
void BinaryReader::Refill(size_t n) {
  buffer_.resize(static_cast<size_t>(std::min<int64_t>(std::max(n, refillSize_), size_ - pos_)));
  ReadAt(buffer_.data(), buffer_.size(), pos_);
  bufferStart_ = pos_;
}

// Exactly n bytes at the offset; a file that has become shorter is a device error.
void BinaryReader::ReadAt(uint8_t* dst, size_t n, int64_t offset) {
  size_t done = 0;
  while (done < n) {
    const int64_t at = offset + static_cast<int64_t>(done);
    const ssize_t got = source_ ? static_cast<ssize_t>(source_->ReadAt(dst + done, n - done, at))
                                : ::pread(fileno(f_), dst + done, n - done, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      buffer_.clear();
      Throw(err::kDeviceIo);
    }
    done += static_cast<size_t>(got);
  }
}

namespace {
constexpr size_t kWriteBufferSize = 1 << 20;

// Writes all of data at the file's position; the errno of a failure, or 0. A staged file is
// flushed to the disk before it takes the target's name: the disk starts on each block now,
// so that flush finds little left to wait for.
int WriteAll(int fd, const char* data, size_t size, off_t at, bool startDiskFlush, size_t& done) {
  done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(n);
  }
  if (startDiskFlush) ::sync_file_range(fd, at, static_cast<off_t>(done), SYNC_FILE_RANGE_WRITE);
  return 0;
}
}  // namespace

BinaryWriter::Block::Block() : bytes(new char[kWriteBufferSize]) {}

BinaryWriter::BinaryWriter() = default;

BinaryWriter::BinaryWriter(const std::u16string& path) { Open(path); }

BinaryWriter::~BinaryWriter() {
  if (staged_) {
    Discard();
  } else if (fd_ >= 0) {
    try {
      Close();
    } catch (...) {  // a destructor cannot report; Close is where failures are seen
    }
  }
}

void BinaryWriter::Open(const std::u16string& path) {
  if (IsOpen()) Close();
  path_ = ToUtf8(path);
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) ThrowErrno(errno, path);
  fd_ = fd;
  staged_ = false;
  flushed_ = 0;
  buffer_.size = 0;
  pos_ = 0;
}

void BinaryWriter::OpenStaged(const std::u16string& target) {
  if (IsOpen()) Discard();
  staging_.Create(target);
  path_ = ToUtf8(target);
  fd_ = staging_.Descriptor();
  staged_ = true;
  flushed_ = 0;
  buffer_.size = 0;
  pos_ = 0;
}

void BinaryWriter::Flush() {
  size_t done = 0;
  const int e = WriteAll(fd_, buffer_.bytes.get(), buffer_.size, flushed_, staged_, done);
  std::memmove(buffer_.bytes.get(), buffer_.bytes.get() + done, buffer_.size - done);
  buffer_.size -= done;
  flushed_ += static_cast<off_t>(done);
  if (e) ThrowErrno(e, FromUtf8(path_));
}

void BinaryWriter::CloseDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  if (staged_) {
    staging_.Finish();
  } else if (::close(fd) != 0) {
    ThrowErrno(errno, FromUtf8(path_));
  }
}

void BinaryWriter::Close() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {
    if (staged_) {
      Discard();
    } else {
      ::close(fd_);
      fd_ = -1;
    }
    throw;
  }
  CloseDescriptor();
}

void BinaryWriter::Commit(bool keepBackup) {
  if (!staged_) Throw(err::kBadFileMode);
  Close();
  staging_.Commit(keepBackup);
  staged_ = false;
}

void BinaryWriter::Discard() {
  if (staged_) {
    staging_.Discard();
  } else if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = -1;
  staged_ = false;
  buffer_.size = 0;
}

void BinaryWriter::WriteBytes(const void* src, size_t n) {
  if (fd_ < 0) Throw(err::kBadFileNameOrNumber);
  const char* from = static_cast<const char*>(src);
  while (n > 0) {
    if (buffer_.size == kWriteBufferSize) Flush();
    const size_t part = std::min(n, kWriteBufferSize - buffer_.size);
    std::memcpy(buffer_.bytes.get() + buffer_.size, from, part);
    buffer_.size += part;
    pos_ += static_cast<int64_t>(part);
    from += part;
    n -= part;
  }
}

uint8_t* BinaryWriter::Claim(size_t n) {
  if (fd_ < 0) Throw(err::kBadFileNameOrNumber);
  if (n > kWriteBufferSize) Throw(err::kBadFileMode);
  if (buffer_.size + n > kWriteBufferSize) Flush();
  uint8_t* at = reinterpret_cast<uint8_t*>(buffer_.bytes.get()) + buffer_.size;
  buffer_.size += n;
  pos_ += static_cast<int64_t>(n);
  return at;
}

}  // namespace picmap
