// Text lines of the thing file: code page 932 bytes on disk, UTF-16 inside. Lines end in
// CR LF when written; a reader accepts CR LF or a lone LF, and also a file a text editor saved
// in UTF-8 (see TextLineReader::Open). Every failure raises the run-time
// file error of the platform's file run-time (53 file not found, 62 input past end, 61 disk
// full, ...), so callers can retry the failed statement through the file-error dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "support/errors.h"
#include "support/stagedfile.h"

namespace picmap {

// A line as a reader gave it, for messages that say where a file is at fault.
struct SourceLine {
  int32_t number = 0;  // 1-based
  std::u16string text;
  // "(Line:12: NUMBER=70000)"
  std::u16string Location() const;
};

// Runs `read`, which takes in `line`; an error it raises names that line in its description.
template <class F>
void ReadingLine(const SourceLine& line, F&& read) {
  try {
    read();
  } catch (...) {
    Error e = CurrentError();
    e.SetDescription(e.Description() + line.Location());
    throw e;
  }
}

class TextLineReader {
 public:
  TextLineReader() = default;
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  // Reads the whole file; thing files are small, and nothing can fail half-way later. The
  // file is read as UTF-8 when it starts with the UTF-8 byte order mark (which is skipped),
  // or when all of it is valid UTF-8 but not valid code page 932; otherwise, plain ASCII
  // included, as code page 932.
  void Open(const std::u16string& path);
  // Reads lines from a file's bytes read elsewhere (a file GDAL reads for the map file
  // driver), in the encoding Open would find.
  void OpenContent(std::string bytes);
  void Close();
  bool IsOpen() const { return open_; }
  // True when no byte is left; a closed reader raises error 52.
  bool AtEnd() const;
  // The next line without its line end; past the end raises error 62.
  std::u16string ReadLine();
  // The number of the line ReadLine gave last (1 for the first line), 0 before the first.
  int32_t LineNumber() const { return lineNumber_; }

 private:
  void Take(std::string data);

  std::string data_;
  size_t pos_ = 0;
  int32_t lineNumber_ = 0;
  bool utf8_ = false;
  bool open_ = false;
};

// Writes into a temporary file beside the target; `Commit` writes the lines, flushes them to
// the disk and moves the file into the target's place, so the old file stays whole until the
// new one is complete. Lines are collected in memory, so a `Commit` that failed can simply be
// run again. A writer destroyed without `Commit` removes its temporary file.
class TextLineWriter {
 public:
  TextLineWriter() = default;
  ~TextLineWriter();
  TextLineWriter(const TextLineWriter&) = delete;
  TextLineWriter& operator=(const TextLineWriter&) = delete;

  // Creates the temporary file (with the permissions of the file it replaces).
  void Open(const std::u16string& target);
  // Appends the line and CR LF in code page 932; a writer that is not open raises error 52.
  void WriteLine(const std::u16string& line);
  // The bytes written so far.
  const std::string& Content() const { return content_; }
  // Puts the new file in place; an existing target is kept under its backup name when
  // `keepBackup`.
  void Commit(bool keepBackup = false);
  // Gives up the new content; the target is left as it was.
  void Discard();
  bool IsOpen() const { return staging_.IsOpen(); }

 private:
  void WriteContent();

  StagedFile staging_;
  std::string content_;
  std::string target_;  // for messages
  bool written_ = false;
};

}  // namespace picmap
