// Run-time errors: one exception type carrying a number, a source (the call path) and a
// description, and the routines that pass an error up with the caller's location.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace picmap {

// Error numbers of the run-time that the system relies on.
namespace err {
constexpr int32_t kNone = 0;
constexpr int32_t kDivisionByZero = 11;
constexpr int32_t kOverflow = 6;
constexpr int32_t kOutOfMemory = 7;
constexpr int32_t kSubscript = 9;
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kInvalidCall = 5;
constexpr int32_t kBadFileNameOrNumber = 52;
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kBadFileMode = 54;
constexpr int32_t kFileAlreadyOpen = 55;
constexpr int32_t kDeviceIo = 57;
constexpr int32_t kFileAlreadyExists = 58;
constexpr int32_t kBadRecordLength = 59;
constexpr int32_t kDiskFull = 61;
constexpr int32_t kInputPastEnd = 62;
constexpr int32_t kBadRecordNumber = 63;
constexpr int32_t kBadFileName = 64;
constexpr int32_t kTooManyFiles = 67;
constexpr int32_t kDeviceUnavailable = 68;
constexpr int32_t kPermissionDenied = 70;
constexpr int32_t kDiskNotReady = 71;
constexpr int32_t kRenameAcrossDrives = 74;
constexpr int32_t kPathFileAccess = 75;
constexpr int32_t kPathNotFound = 76;
constexpr int32_t kObjectBase = static_cast<int32_t>(0x80040000u);
// Default number of errors passed up by classes (clsThing, clsThings, clsMap, clsPoly).
constexpr int32_t kClassDefault = static_cast<int32_t>(0x800403E9u);
// Default number of errors passed up by plain modules (basLibrary, basAngle).
constexpr int32_t kModuleDefault = static_cast<int32_t>(0x800403EAu);
// The map file's version is beyond what the reader supports.
constexpr int32_t kMapVersion = static_cast<int32_t>(0x800403EEu);
// Any further error of the map reader (an invalid element).
constexpr int32_t kMapElement = static_cast<int32_t>(0x800403EFu);
// An error the file-error dialog titles as a warning.
constexpr int32_t kWarning = static_cast<int32_t>(0x8004270Fu);
}  // namespace err

class Error : public std::exception {
 public:
  Error(int32_t number, std::u16string source, std::u16string description);
  int32_t Number() const { return number_; }
  const std::u16string& Source() const { return source_; }
  const std::u16string& Description() const { return description_; }
  void SetNumber(int32_t n) { number_ = n; }
  void SetSource(std::u16string s) { source_ = std::move(s); }
  void SetDescription(std::u16string d);
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int32_t number_;
  std::u16string source_;
  std::u16string description_;
  std::string what_;  // UTF-8 copy of the description for std::exception users
};

// The standard description of a run-time error number ("Overflow", "Subscript out of range", ...).
std::u16string DefaultDescription(int32_t number);

// Raises a fresh error with the given number and its standard description.
[[noreturn]] void Throw(int32_t number, const std::u16string& source = u"",
                        const std::u16string& description = u"");

// The run-time file error number for a C errno value.
int32_t FileErrorFromErrno(int e);
// Raises the file error of a C errno value, its description the cause in words and the path
// ("Read-only file system: /maps/japan.MLL").
[[noreturn]] void ThrowFileError(int e, const std::string& path);

// The error being handled: call inside a catch block. Errors of other kinds are turned into
// run-time errors (std::bad_alloc becomes 7, std::out_of_range 9, std::overflow_error 6 ...).
Error CurrentError();

// Puts "module.procedure/" in front of the error's source, "comment/" in front of its
// description when the comment is not empty, and gives a numberless error the default number.
void AddErrorLocation(Error& e, int32_t defaultNumber, const std::u16string& module,
                      const std::u16string& procedure, const std::u16string& comment = u"");

// Inside a catch block: AddErrorLocation on the current error, then raises it again.
[[noreturn]] void RaiseError(int32_t defaultNumber, const std::u16string& module,
                             const std::u16string& procedure, const std::u16string& comment = u"");

}  // namespace picmap
