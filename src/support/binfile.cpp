#include "support/binfile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "support/errors.h"
#include "support/text.h"

namespace picmap {

namespace {
constexpr size_t kBufferSize = 1 << 16;

[[noreturn]] void ThrowErrno(int e, const std::u16string& path) {
  Throw(FileErrorFromErrno(e), u"", DefaultDescription(FileErrorFromErrno(e)) +
                                        (path.empty() ? u"" : u": " + path));
}
}  // namespace

int32_t FileErrorFromErrno(int e) {
  switch (e) {
    case ENOENT: return err::kFileNotFound;
    case ENOTDIR: return err::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return err::kPathFileAccess;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::kDiskFull;
    case EMFILE:
    case ENFILE: return err::kTooManyFiles;
    case ENAMETOOLONG:
    case EINVAL: return err::kBadFileName;
    case EEXIST: return err::kFileAlreadyExists;
    case EIO: return err::kDeviceIo;
    case EBUSY: return err::kPermissionDenied;
    default: return err::kDeviceIo;
  }
}

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
  std::setvbuf(f, nullptr, _IOFBF, kBufferSize);
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
}

void BinaryReader::Close() {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  size_ = pos_ = 0;
}

void BinaryReader::Seek(int64_t pos) {
  if (!f_) Throw(err::kBadFileNameOrNumber);
  if (pos < 0 || pos > size_) Throw(err::kBadRecordNumber);
  std::fseek(f_, pos, SEEK_SET);
  pos_ = pos;
}

void BinaryReader::Require(int64_t n) const {
  if (!f_) Throw(err::kBadFileNameOrNumber);
  if (n < 0 || n > size_ - pos_) Throw(err::kInputPastEnd);
}

void BinaryReader::ReadBytes(void* dst, size_t n) {
  Require(static_cast<int64_t>(n));
  if (n == 0) return;
  if (std::fread(dst, 1, n, f_) != n) {
    std::fseek(f_, pos_, SEEK_SET);
    Throw(err::kDeviceIo);
  }
  pos_ += static_cast<int64_t>(n);
}

BinaryWriter::~BinaryWriter() {
  if (f_) std::fclose(f_);
}

void BinaryWriter::Open(const std::u16string& path) {
  if (f_) Close();
  std::string p = ToUtf8(path);
  std::FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) ThrowErrno(errno, path);
  std::setvbuf(f, nullptr, _IOFBF, kBufferSize);
  f_ = f;
  pos_ = 0;
}

void BinaryWriter::Close() {
  if (!f_) return;
  std::FILE* f = f_;
  f_ = nullptr;
  bool ok = std::fflush(f) == 0;
  int e = errno;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) ThrowErrno(e ? e : EIO, u"");
}

void BinaryWriter::WriteBytes(const void* src, size_t n) {
  if (!f_) Throw(err::kBadFileNameOrNumber);
  if (n == 0) return;
  if (std::fwrite(src, 1, n, f_) != n) ThrowErrno(errno ? errno : EIO, u"");
  pos_ += static_cast<int64_t>(n);
}

}  // namespace picmap
