// Shared helpers of the map tests: a scratch folder, little-endian byte building, and
// writing or reading one element through a real file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

#include "map/clsMapFigure.h"
#include "support/binfile.h"
#include "support/text.h"

namespace picmap::test {

class ScratchFolder {
 public:
  ScratchFolder() {
    path_ = std::filesystem::temp_directory_path() /
            ("picmap_map_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  std::filesystem::path Path(const std::string& name) const { return path_ / name; }
  std::u16string File(const std::string& name) const { return FromUtf8(Path(name).string()); }
  const std::filesystem::path& Root() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

// Little-endian bytes built field by field.
class Bytes {
 public:
  template <class T>
  Bytes& Put(T v) {
    char b[sizeof v];
    std::memcpy(b, &v, sizeof v);
    s_.append(b, sizeof v);
    return *this;
  }
  Bytes& I16(int32_t v) { return Put<int16_t>(static_cast<int16_t>(v)); }
  Bytes& I32(int32_t v) { return Put<int32_t>(v); }
  Bytes& U8(int32_t v) { return Put<uint8_t>(static_cast<uint8_t>(v)); }
  Bytes& F64(double v) { return Put<double>(v); }
  Bytes& Raw(const std::string& bytes) {
    s_ += bytes;
    return *this;
  }
  Bytes& Cp932(const std::u16string& text) { return Raw(ToCp932(text)); }
  // A remark in the layout before 1.04: code 1, Admin, character count, text.
  Bytes& OldRemark(const std::u16string& text, int32_t admin = 0) {
    return I16(1).I16(admin).I16(static_cast<int32_t>(text.size())).Cp932(text);
  }
  // The header element of a 1.00 .. 1.06 file.
  Bytes& Header(const std::string& versionText) {
    OldRemark(u"Map File Version " + FromUtf8(versionText));
    if (versionText >= "1.04") I32(0);
    return *this;
  }
  const std::string& str() const { return s_; }
  size_t size() const { return s_.size(); }

 private:
  std::string s_;
};

inline void WriteFileBytes(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The bytes WriteElm gives for the version.
inline std::string ElementBytes(clsMapFigure& f, int32_t ver) {
  ScratchFolder dir;
  {
    BinaryWriter w(dir.File("elm.bin"));
    f.WriteElm(w, ver);
    w.Close();
  }
  return ReadFileBytes(dir.Path("elm.bin"));
}

// Reads an element (its code included in `bytes`) into a new figure of the code's class.
inline std::shared_ptr<clsMapFigure> ReadElementBytes(const std::string& bytes, int32_t ver,
                                                     int64_t* leftOver = nullptr) {
  ScratchFolder dir;
  WriteFileBytes(dir.Path("elm.bin"), bytes);
  BinaryReader r(dir.File("elm.bin"));
  auto f = CreateFigure(r.Read<int16_t>());
  f->ReadElm(r, ver);
  if (leftOver) *leftOver = r.Remaining();
  return f;
}

template <class T>
T FieldAt(const std::string& bytes, size_t offset) {
  T v;
  std::memcpy(&v, bytes.data() + offset, sizeof v);
  return v;
}

}  // namespace picmap::test
