// Shared helpers of the output tests: scratch folders, small maps built in code, thing files
// and the folder where pictures are kept for a person to look at.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapRem.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "support/text.h"

namespace picmap::test {

namespace fs = std::filesystem;

// A folder of its own for the running test, removed by the fixture.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("picmap_output_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::u16string UPath(const std::string& name) const { return FromUtf8(Path(name)); }
  fs::path dir_;
};

// Pictures kept for inspection: <build>/test-output.
inline fs::path KeptOutputDir() {
  const fs::path dir = fs::path(PICMAP_RUNTIME_DIR).parent_path() / "test-output";
  fs::create_directories(dir);
  return dir;
}

inline std::shared_ptr<clsMapPolygon> Rectangle(int32_t left, int32_t top, int32_t right,
                                                int32_t bottom, int32_t colour, int16_t thing = 0) {
  auto p = std::make_shared<clsMapPolygon>();
  p->Admin(0);
  p->Thing(thing);
  p->OwnColor(colour);
  p->Poly()->AddXandY(left, top);
  p->Poly()->AddXandY(right, top);
  p->Poly()->AddXandY(right, bottom);
  p->Poly()->AddXandY(left, bottom);
  p->Poly()->AddXandY(left, top);
  return p;
}

inline std::shared_ptr<clsMapPolyline> Line(const std::vector<PolyPoint>& points, int32_t colour,
                                            int16_t thing = 0) {
  auto l = std::make_shared<clsMapPolyline>();
  l->Admin(0);
  l->Thing(thing);
  l->OwnColor(colour);
  for (const PolyPoint& p : points) l->Poly()->AddPoint(p);
  return l;
}

inline std::shared_ptr<clsMapSymbol> Symbol(int32_t x, int32_t y, int32_t colour, int16_t thing = 0) {
  auto s = std::make_shared<clsMapSymbol>();
  s->Admin(0);
  s->Thing(thing);
  s->OwnColor(colour);
  s->SetSymbolPoint({x, y});
  return s;
}

inline std::shared_ptr<clsMapText> Label(int32_t x, int32_t y, const std::u16string& latin,
                                         const std::u16string& japanese, int32_t angle,
                                         int32_t colour, int16_t thing = 0) {
  auto t = std::make_shared<clsMapText>();
  t->Admin(0);
  t->Thing(thing);
  t->OwnColor(colour);
  t->SetTextPoint({x, y});
  t->TextUnicode(1, latin);
  t->TextUnicode(2, japanese);
  t->Angle(angle);
  return t;
}

// A thing file of the given [THING] blocks (key=value lines each), code page 932 and CR LF.
inline void WriteThingFile(const std::string& path, const std::vector<std::vector<std::u16string>>& things) {
  std::u16string text = u"[COMMENT]\r\ntest\r\n\r\n[CATEGORY]\r\n1,\"画像\"\r\n\r\n";
  for (const auto& lines : things) {
    text += u"[THING]\r\n";
    for (const auto& line : lines) text += line + u"\r\n";
    text += u"\r\n";
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << ToCp932(text);
}

// 0x00BBGGRR of an opaque pixel; -1 for a fully transparent one; -2 for anything between.
inline int32_t PixelColour(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  if (qAlpha(c) == 0) return -1;
  if (qAlpha(c) != 255) return -2;
  return qRed(c) | (qGreen(c) << 8) | (qBlue(c) << 16);
}

}  // namespace picmap::test
