// Replacing a file without ever leaving it cut off, and without a moment in which its name is
// missing: the new content is written to a temporary file beside the target and flushed to the
// disk; then the old file gets a second name (the backup name, or a short-lived one that only
// serves to put it back) and the new file is renamed over the target, which the system does in
// one step. A save holds an advisory lock on the target's folder from its first byte to its
// last rename, so two saves there wait for each other, and a temporary file of this naming that
// is found beside the target while the lock is held belongs to a save that was killed.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace picmap {

// The steps of every save, in order, for fault-injection tests: "staged" (the temporary file is
// there), "written" (it is whole on the disk), "kept" (the old file has its second name),
// "replaced" (the new file holds the target's name), "settled" (the save is over).
using SaveStepHook = void (*)(const char* step);
SaveStepHook SetSaveStepHook(SaveStepHook hook);

// One-line reports of a save that a person should hear of (stale temporary files removed, a
// backup name shortened, a wait for another save); without a sink they are dropped.
using SaveNoticeSink = void (*)(const std::u16string& line);
SaveNoticeSink SetSaveNoticeSink(SaveNoticeSink sink);

class SaveLock;

class StagedFile {
 public:
  StagedFile();
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Takes the folder's save lock, removes stale temporary files of the target and creates the
  // temporary file beside `target` (through a symbolic link, beside the file it names) with the
  // target's permission bits. A target that is a folder is error 75.
  void Create(const std::u16string& target);
  // Takes over a file or folder already written at `written` (in the target's folder) as the
  // new content of `target`; the caller holds `lock` on that folder.
  void Adopt(const std::u16string& target, const std::u16string& written);
  bool IsOpen() const { return !temporary_.empty(); }
  // The temporary file's descriptor while it is open for writing; -1 after Finish.
  int Descriptor() const { return fd_; }
  // Flushes the content to the disk and closes the temporary file; raises the file error.
  void Finish();
  // Finish (when still open), then put the new file in place; `keepBackup` keeps an existing
  // target under its time-stamped backup name. Inside a SaveTransaction the file is only
  // handed over, and the transaction puts it in place. May be run again after a failure.
  void Commit(bool keepBackup = false);
  // Gives up the new content: the temporary file is removed, the target stays as it was.
  void Discard();
  // The target actually written (a symbolic link resolved).
  const std::string& Target() const { return target_; }
  // The backup name the last commit kept the old file under; empty when none was kept.
  const std::u16string& KeptBackup() const { return keptBackup_; }

  // A committed file on its way into place (kept by a SaveTransaction until it completes).
  struct Pending;

 private:
  friend class SaveTransaction;

  int fd_ = -1;
  std::string target_;
  std::string temporary_;
  std::u16string keptBackup_;
  std::shared_ptr<SaveLock> lock_;
};

// Several files saved as one: each StagedFile committed while the transaction is open is only
// handed over; Complete puts them in place in order and, when one of them cannot be, puts the
// ones before it back. A transaction that ends without Complete gives them all up.
class SaveTransaction {
 public:
  SaveTransaction();
  ~SaveTransaction();
  SaveTransaction(const SaveTransaction&) = delete;
  SaveTransaction& operator=(const SaveTransaction&) = delete;

  void Complete();
  // Files put in place by this transaction replace what was there without keeping a backup.
  void KeepNoBackups() { keepBackups_ = false; }
  // The backup names the completed transaction kept, one per file that had one.
  const std::vector<std::u16string>& KeptBackups() const { return keptBackups_; }
  // The file that could not be put in place when Complete failed.
  const std::u16string& FailedTarget() const { return failedTarget_; }

 private:
  friend class StagedFile;
  std::vector<std::unique_ptr<StagedFile::Pending>> pending_;
  std::vector<std::u16string> keptBackups_;
  std::u16string failedTarget_;
  bool keepBackups_ = true;
  SaveTransaction* outer_;
};

// The advisory lock of saves into the folder of `target`, shared by everything this process
// saves there; waits while another process holds it. Where the file system has no locks, the
// save goes on unlocked and leaves temporary files it cannot judge alone.
std::shared_ptr<SaveLock> LockSavesBeside(const std::string& target);
// Removes the temporary files of earlier, killed saves of `target` (under the lock) and says so.
void RemoveStaleTemporaries(const SaveLock& lock, const std::string& target);
// A new temporary name beside `target` in this save's naming (".tmp", process, number).
std::string TemporaryNameBeside(const std::string& target);
// `path` with every symbolic link on its last component followed.
std::string ResolvedTarget(const std::string& path);

// The name an old file is kept under before it is replaced: the name without its last four
// characters, "-", the current date and time with every non-digit as "-", and those four
// characters (/maps/JAPAN.MLL -> /maps/JAPAN-2026-12-07-4-52-01.MLL). A name too long for the
// file system has its base shortened, keeping the time stamp and the extension.
std::u16string BackupFileName(const std::u16string& file);

// Renames without replacing: a `to` that exists is the file-already-exists error (58).
void RenameKeepingTarget(const std::u16string& from, const std::u16string& to);

// Writes `bytes` as the whole new content of `target` through a StagedFile.
void WriteFileStaged(const std::u16string& target, const std::string& bytes, bool keepBackup = false);

// True when `file` can be read and holds exactly `content`.
bool FileHolds(const std::u16string& file, const std::string& content);

}  // namespace picmap
