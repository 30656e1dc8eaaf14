// Text lines of the thing file: code page 932 bytes on disk, UTF-16 inside. Lines end in
// CR LF when written; a reader accepts CR LF or a lone LF. Every failure raises the run-time
// file error of the platform's file run-time (53 file not found, 62 input past end, 61 disk
// full, ...), so callers can retry the failed statement through the file-error dialog.
#pragma once

#include <cstddef>
#include <string>

#include "support/stagedfile.h"

namespace picmap {

class TextLineReader {
 public:
  TextLineReader() = default;
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  // Reads the whole file; thing files are small, and nothing can fail half-way later.
  void Open(const std::u16string& path);
  // Reads lines from bytes read elsewhere (a file GDAL reads for the map file driver).
  void OpenContent(std::string bytes);
  void Close();
  bool IsOpen() const { return open_; }
  // True when no byte is left; a closed reader raises error 52.
  bool AtEnd() const;
  // The next line without its line end; past the end raises error 62.
  std::u16string ReadLine();

 private:
  std::string data_;
  size_t pos_ = 0;
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
  // The backup name the last Commit kept the old file under, if any.
  const std::u16string& KeptBackup() const { return staging_.KeptBackup(); }
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
