// Buffered binary files (little-endian), shared by the point lists and the map file. Every
// failure raises the run-time file error of the platform's file run-time (53 file not found,
// 62 input past end of file, 61 disk full, 75 path/file access error, ...).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "support/stagedfile.h"

namespace picmap {

// Bytes a reader takes from somewhere other than a local file it opens itself: a GIS host
// hands the map file driver files of its own (inside a zip, in memory, on a web server).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int64_t Size() = 0;
  // Up to n bytes from the offset; how many came (0 for a failure).
  virtual size_t ReadAt(void* dst, size_t n, int64_t offset) = 0;
};

class BinaryReader {
 public:
  BinaryReader() = default;
  explicit BinaryReader(const std::u16string& path) { Open(path); }
  ~BinaryReader();
  BinaryReader(const BinaryReader&) = delete;
  BinaryReader& operator=(const BinaryReader&) = delete;

  void Open(const std::u16string& path);
  // Reads the source's bytes instead of a file's.
  void Open(std::unique_ptr<ByteSource> source);
  void Close();
  bool IsOpen() const { return f_ != nullptr || source_ != nullptr; }
  // The most a refill of the buffer reads at once (1 MiB unless set): a reader that jumps
  // from element to element wants less than one that reads the file through.
  void RefillSize(size_t bytes) { refillSize_ = bytes; }
  int64_t Size() const { return size_; }
  int64_t Position() const { return pos_; }
  int64_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ >= size_; }
  void Seek(int64_t pos);

  // Reads exactly n bytes; fewer left in the file is error 62 and nothing is consumed.
  void ReadBytes(void* dst, size_t n);
  template <class T>
  T Read() {
    static_assert(std::is_trivially_copyable_v<T>);
    T v;
    ReadBytes(&v, sizeof v);
    return v;
  }
  // Raises error 62 unless at least n bytes are left, without reading them.
  void Require(int64_t n) const;
  // The next n bytes (n below 1 MiB) where they lie in the buffer, or nullptr when fewer are
  // left in the file; nothing is consumed until Skip(n).
  const uint8_t* Peek(size_t n);
  // Peek(n), and in `available` how many bytes from the read position lie in the buffer (at
  // least n): a bulk reader decodes them in place before it skips what it took.
  const uint8_t* PeekRun(size_t n, size_t& available);
  void Skip(size_t n) { pos_ += static_cast<int64_t>(n); }

 private:
  void Refill(size_t n);
  void ReadAt(uint8_t* dst, size_t n, int64_t offset);

  std::FILE* f_ = nullptr;
  std::unique_ptr<ByteSource> source_;
  size_t refillSize_ = size_t{1} << 20;
  int64_t size_ = 0;
  int64_t pos_ = 0;
  std::vector<uint8_t> buffer_;  // the file's bytes from bufferStart_ on
  int64_t bufferStart_ = 0;
};

// Writes through a large buffer. `Open` writes the named file directly; `OpenStaged` writes a
// temporary file beside it that `Commit` moves into place, so the named file is never cut off.
class BinaryWriter {
 public:
  BinaryWriter();
  explicit BinaryWriter(const std::u16string& path);
  ~BinaryWriter();
  BinaryWriter(const BinaryWriter&) = delete;
  BinaryWriter& operator=(const BinaryWriter&) = delete;

  // Creates or truncates the file.
  void Open(const std::u16string& path);
  // Starts a new version of `target` in a temporary file beside it.
  void OpenStaged(const std::u16string& target);
  // Flushes and closes; a failing flush raises its file error. A staged file is then on the
  // disk, waiting for Commit.
  void Close();
  // Staged only: Close, then move the new file into place, an existing target kept under its
  // backup name when `keepBackup`. May be run again after a failure.
  void Commit(bool keepBackup = false);
  // Gives up what was written to a staged file; the target stays as it was.
  void Discard();
  bool IsOpen() const { return fd_ >= 0; }
  int64_t Position() const { return pos_; }

  void WriteBytes(const void* src, size_t n);
  template <class T>
  void Write(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    WriteBytes(&v, sizeof v);
  }
  // The next n bytes of the file (n at most 1 MiB) in the buffer, to be filled in by the
  // caller before anything else is written: a bulk writer encodes straight into them.
  uint8_t* Claim(size_t n);

 private:
  struct Block {
    Block();
    std::unique_ptr<char[]> bytes;  // 1 MiB
    size_t size = 0;
  };
  void Flush();
  void CloseDescriptor();

  int fd_ = -1;
  bool staged_ = false;
  StagedFile staging_;
  std::string path_;  // for messages
  Block buffer_;
  int64_t pos_ = 0;
  int64_t flushed_ = 0;  // bytes handed to the file so far
};

}  // namespace picmap
