#include "support/errors.h"

#include <cerrno>
#include <new>
#include <stdexcept>

#include "support/text.h"

namespace picmap {

Error::Error(int32_t number, std::u16string source, std::u16string description)
    : number_(number), source_(std::move(source)) {
  SetDescription(std::move(description));
}

void Error::SetDescription(std::u16string d) {
  description_ = std::move(d);
  what_ = ToUtf8(description_);
}

std::u16string DefaultDescription(int32_t number) {
  switch (number) {
    case err::kInvalidCall: return u"Invalid procedure call or argument";
    case err::kOverflow: return u"Overflow";
    case err::kOutOfMemory: return u"Out of memory";
    case err::kSubscript: return u"Subscript out of range";
    case err::kDivisionByZero: return u"Division by zero";
    case err::kTypeMismatch: return u"Type mismatch";
    case err::kBadFileNameOrNumber: return u"Bad file name or number";
    case err::kFileNotFound: return u"File not found";
    case err::kBadFileMode: return u"Bad file mode";
    case err::kFileAlreadyOpen: return u"File already open";
    case err::kDeviceIo: return u"Device I/O error";
    case err::kFileAlreadyExists: return u"File already exists";
    case err::kBadRecordLength: return u"Bad record length";
    case err::kDiskFull: return u"Disk full";
    case err::kInputPastEnd: return u"Input past end of file";
    case err::kBadRecordNumber: return u"Bad record number";
    case err::kBadFileName: return u"Bad file name";
    case err::kTooManyFiles: return u"Too many files";
    case err::kDeviceUnavailable: return u"Device unavailable";
    case err::kPermissionDenied: return u"Permission denied";
    case err::kDiskNotReady: return u"Disk not ready";
    case err::kRenameAcrossDrives: return u"Can't rename with different drive";
    case err::kPathFileAccess: return u"Path/File access error";
    case err::kPathNotFound: return u"Path not found";
    default: return u"Application-defined or object-defined error";
  }
}

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
    case EXDEV: return err::kRenameAcrossDrives;
    default: return err::kDeviceIo;
  }
}

namespace {
// The cause in words where the error number alone would hide it (75 covers four of them).
std::u16string FileErrorCause(int e, int32_t number) {
  switch (e) {
    case EROFS: return u"Read-only file system";
    case EACCES:
    case EPERM: return u"Permission denied";
    case EISDIR: return u"Is a folder";
    case ENAMETOOLONG: return u"File name too long";
    case ENOTDIR: return u"A part of the path is not a folder";
    case EDQUOT: return u"Disk quota exceeded";
    default: return DefaultDescription(number);
  }
}
}  // namespace

void ThrowFileError(int e, const std::string& path) {
  const int32_t number = FileErrorFromErrno(e);
  Throw(number, u"", FileErrorCause(e, number) + (path.empty() ? u"" : u": " + FromUtf8(path)));
}

void Throw(int32_t number, const std::u16string& source, const std::u16string& description) {
  throw Error(number, source, description.empty() ? DefaultDescription(number) : description);
}

Error CurrentError() {
  try {
    throw;
  } catch (const Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return Error(err::kOutOfMemory, u"", DefaultDescription(err::kOutOfMemory));
  } catch (const std::out_of_range& e) {
    return Error(err::kSubscript, u"", DefaultDescription(err::kSubscript));
  } catch (const std::overflow_error& e) {
    return Error(err::kOverflow, u"", DefaultDescription(err::kOverflow));
  } catch (const std::exception& e) {
    return Error(0, u"", FromUtf8(e.what()));
  } catch (...) {
    return Error(0, u"", u"Unknown error");
  }
}

void AddErrorLocation(Error& e, int32_t defaultNumber, const std::u16string& module,
                      const std::u16string& procedure, const std::u16string& comment) {
  e.SetSource(module + u"." + procedure + u"/" + e.Source());
  if (!comment.empty()) e.SetDescription(comment + u"/" + e.Description());
  if (e.Number() == 0) e.SetNumber(defaultNumber);
}

void RaiseError(int32_t defaultNumber, const std::u16string& module,
                const std::u16string& procedure, const std::u16string& comment) {
  Error e = CurrentError();
  AddErrorLocation(e, defaultNumber, module, procedure, comment);
  throw e;
}

}  // namespace picmap
