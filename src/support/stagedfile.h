// Replacing a file without ever leaving it cut off: the new content is written to a temporary
// file beside the target, flushed to the disk, and only then does the old file move to its
// backup name (when one is asked for) and the new one take the target's name. Until that last
// rename the target is untouched; a failure of it moves the backup back.
#pragma once

#include <string>

namespace picmap {

class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile() { Discard(); }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the temporary file beside `target` (through a symbolic link, beside the file it
  // names) with the target's permission bits. A target that is a folder is error 75.
  void Create(const std::u16string& target);
  bool IsOpen() const { return !temporary_.empty(); }
  // The temporary file's descriptor while it is open for writing; -1 after Finish.
  int Descriptor() const { return fd_; }
  // Flushes the content to the disk and closes the temporary file; raises the file error.
  void Finish();
  // Finish (when still open), then move an existing target to `backup` (never replacing a
  // file: a taken name is error 58) and the temporary file into place. An empty `backup`
  // replaces the target without keeping it. May be run again after a failure.
  void Commit(const std::u16string& backup = u"");
  // Gives up the new content: the temporary file is removed, the target stays as it was.
  void Discard();

 private:
  int fd_ = -1;
  std::string target_;
  std::string temporary_;
};

// The name an old file is kept under before it is replaced: the name without its last four
// characters, "-", the current date and time with every non-digit as "-", and those four
// characters (/maps/JAPAN.MLL -> /maps/JAPAN-2026-12-07-4-52-01.MLL).
std::u16string BackupFileName(const std::u16string& file);

// Renames without replacing: a `to` that exists is the file-already-exists error (58).
void RenameKeepingTarget(const std::u16string& from, const std::u16string& to);

// True when `file` can be read and holds exactly `content`.
bool FileHolds(const std::u16string& file, const std::string& content);

}  // namespace picmap
