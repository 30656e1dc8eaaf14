// Buffered binary files (little-endian), shared by the point lists and the map file. Every
// failure raises the run-time file error of the platform's file run-time (53 file not found,
// 62 input past end of file, 61 disk full, 75 path/file access error, ...).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

namespace picmap {

// The run-time file error number for a C errno value.
int32_t FileErrorFromErrno(int e);

class BinaryReader {
 public:
  BinaryReader() = default;
  explicit BinaryReader(const std::u16string& path) { Open(path); }
  ~BinaryReader();
  BinaryReader(const BinaryReader&) = delete;
  BinaryReader& operator=(const BinaryReader&) = delete;

  void Open(const std::u16string& path);
  void Close();
  bool IsOpen() const { return f_ != nullptr; }
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

 private:
  std::FILE* f_ = nullptr;
  int64_t size_ = 0;
  int64_t pos_ = 0;
};

class BinaryWriter {
 public:
  BinaryWriter() = default;
  explicit BinaryWriter(const std::u16string& path) { Open(path); }
  ~BinaryWriter();
  BinaryWriter(const BinaryWriter&) = delete;
  BinaryWriter& operator=(const BinaryWriter&) = delete;

  // Creates or truncates the file.
  void Open(const std::u16string& path);
  // Flushes and closes; a failing flush raises its file error.
  void Close();
  bool IsOpen() const { return f_ != nullptr; }
  int64_t Position() const { return pos_; }

  void WriteBytes(const void* src, size_t n);
  template <class T>
  void Write(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    WriteBytes(&v, sizeof v);
  }

 private:
  std::FILE* f_ = nullptr;
  int64_t pos_ = 0;
};

}  // namespace picmap
