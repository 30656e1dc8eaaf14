// Writes the starting corpora of the harnesses into FOLDER/<harness>/: map files the map
// document saves in each writable version (plus the two oldest layouts, built field by field
// since nothing writes them any more), thing files the catalogue saves, the angle texts the
// display settings produce, world files and code page 932 texts.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "map/clsMap.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapPolyline.h"
#include "map/clsMapSymbol.h"
#include "map/clsMapText.h"
#include "map/NewRemark.h"
#include "support/angle.h"
#include "support/platform.h"
#include "support/text.h"
#include "things/clsThings.h"

namespace fs = std::filesystem;
using namespace picmap;

namespace {

void WriteSeed(const fs::path& folder, const std::string& name, const std::string& bytes) {
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary) << bytes;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <class T>
std::shared_ptr<T> Figure(int32_t thing, int32_t color) {
  auto f = std::make_shared<T>();
  f->Admin(7);
  f->Thing(thing);
  f->OwnColor(color);
  f->OwnShowMode(1);
  f->JumpMark(3);
  f->Reserve(-42);
  return f;
}

void FillMap(clsMap& map) {
  map.Add(NewRemark(u"# 欧文地図名：Seed"));
  map.Add(NewRemark(u"[投影条件] 経緯度"));
  auto line = Figure<clsMapPolyline>(1, 0x123456);
  line->Poly()->AddXandY(-5, 7);
  line->Poly()->AddXandY(1000000, -324000);
  line->Poly()->AddXandY(3, 3);
  map.Add(line);
  auto area = Figure<clsMapPolygon>(2, 0xFFFFFF);
  area->Poly()->SetRect(-648000, -324000, 648000, 324000);
  map.Add(area);
  auto symbol = Figure<clsMapSymbol>(3, 0);
  symbol->SetSymbolPoint({11, -22});
  map.Add(symbol);
  auto text = Figure<clsMapText>(4, 0x00FF00);
  text->SetTextPoint({33, 44});
  text->Angle(-90);
  text->TextFix(5);
  text->TextUnicode(1, u"Ha^noi");
  text->TextUnicode(2, u"ハノイ");
  map.Add(text);
}

// Little-endian fields for the layouts before 1.04.
struct Old {
  std::string s;
  Old& I16(int v) {
    const auto x = static_cast<int16_t>(v);
    s.append(reinterpret_cast<const char*>(&x), 2);
    return *this;
  }
  Old& I32(int32_t v) {
    s.append(reinterpret_cast<const char*>(&v), 4);
    return *this;
  }
  Old& Remark(const std::u16string& text) {
    const std::string b = ToCp932(text);
    I16(1).I16(0).I16(static_cast<int>(text.size()));
    s += b;
    return *this;
  }
  Old& Line() {
    I16(2).I16(0).I16(1).I16(2);
    return I32(10).I32(20).I32(30).I32(40);
  }
};

void MapSeeds(const fs::path& out, const fs::path& scratch) {
  for (int16_t ver : {104, 105, 106}) {
    const fs::path file = scratch / ("seed" + std::to_string(ver) + ".MLL");
    clsMap map;
    map.FileName(FromUtf8(file.string()));
    FillMap(map);
    map.Version(ver);
    if (map.Save() != 0) throw std::runtime_error("a seed map does not save");
    WriteSeed(out, "v" + std::to_string(ver), ReadAll(file));
  }
  WriteSeed(out, "v100", Old().Remark(u"Map File Version 1.00").Remark(u"# 地図名：古").Line().s);
  WriteSeed(out, "v099", Old().Remark(u"[投影条件]").Line().Remark(u"古い地図").s);
}

void ThingSeeds(const fs::path& out, const fs::path& scratch) {
  WriteSeed(out, "template", ReadAll(fs::path(PICMAP_SOURCE_DIR) / "data" / "PICMAP.THG"));
  clsThings things;
  things.FileName(FromUtf8((scratch / "seed.THG").string()));
  things.Comment(u"種子\r\n二行目");
  things.CategoryName(1, u"画像");
  things.CategoryName(20, u"Last, \"quoted\"");
  int16_t figure = 1;
  for (const char16_t* name : {u"注記", u"海岸線", u"画像ポリゴン", u"都市", u"地名"}) {
    auto t = std::make_shared<clsThing>();
    t->Name(name);
    t->Figure(figure++);
    t->Category(1);
    t->Page(3);
    t->ScaleS(2500000);
    t->Fore(0x0000FF);
    things.Add(t);
  }
  if (things.Save() != 0) throw std::runtime_error("a seed thing file does not save");
  WriteSeed(out, "saved", ReadAll(scratch / "seed.THG"));
}

void AngleSeeds(const fs::path& out) {
  int n = 0;
  for (const char* text : {"135.5", "W135.5", "東経135度30分", "35 N", "1.5RAD", "135.30,15",
                           "北緯三十五度四十分", "X+135ﾟ30'15\"", "LAT 35°40′20″ S"})
    WriteSeed(out, "text" + std::to_string(n++), std::string(1, '\0') + text);
  for (int32_t sec : {0, 487815, -324000, 648000, -1, 1296001}) {
    for (uint8_t style = 0; style < 5; ++style) {
      std::string seed(1, '\1');
      seed.append(reinterpret_cast<const char*>(&sec), 4);
      seed += static_cast<char>(style);
      seed += static_cast<char>(style + 1);
      seed += static_cast<char>(style + 2);
      WriteSeed(out, "angle" + std::to_string(n++), seed);
    }
  }
  SetAngleFormat(1);
  WriteSeed(out, "shown", std::string(1, '\0') + ToUtf8(LonToStr(-487815)));
}

void WorldFileSeeds(const fs::path& out) {
  const std::string size = std::string("\x00\x02\x00\x01", 4);  // 512 x 256
  WriteSeed(out, "world", size + "0.703125\r\n0\r\n0\r\n-0.703125\r\n-179.6484375\r\n89.6484375\r\n");
  WriteSeed(out, "japan", size + "0.0625\n0.0\n0.0\n-0.0625\n122.03125\n45.96875\n");
  WriteSeed(out, "rotated", size + "1\n0.5\n0\n-1\n0\n0\n");
}

void PointsSeeds(const fs::path& out) {
  WriteSeed(out, "wgs84", "#CRS: EPSG:4326\nmapX,mapY,sourceX,sourceY,enable,dX,dY,residual\n"
                          "139.5,35.25,120.5,-80,1,0.1,-0.2,0.2236\n140,35,600,-90.5,0,0,0,0\n");
  WriteSeed(out, "utm", "#CRS: EPSG:32654\nmapX,mapY,sourceX,sourceY,enable,dX,dY,residual\n"
                        "500000,3900000,0,0,1,0,0,0\n600000,3800000,1000,-1000,1,0,0,0\n");
  WriteSeed(out, "old", "mapX,mapY,pixelX,pixelY,enable\n-70.5,-33.4,10,-20,1\n");
}

void Cp932Seeds(const fs::path& out) {
  WriteSeed(out, "bytes", std::string(1, '\0') + ToCp932(u"画像ポリゴン ﾊﾝｶｸ ①Ⅻ∑ ～ ¬"));
  std::u16string text = u"東経135度 ¥ ‾ 〜 − ‖ ¢ £";
  std::string utf16(1, '\1');
  utf16.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  WriteSeed(out, "text", utf16);
  std::string every(1, '\0');
  for (int b = 0; b < 256; ++b) every += static_cast<char>(b);
  WriteSeed(out, "every", every);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seeds FOLDER\n";
    return 2;
  }
  ScopedScriptedPorts ports;
  const fs::path root = argv[1];
  const fs::path scratch = root / "scratch";
  fs::create_directories(scratch);
  try {
    MapSeeds(root / "map", scratch);
    ThingSeeds(root / "things", scratch);
    AngleSeeds(root / "angle");
    WorldFileSeeds(root / "world_file");
    Cp932Seeds(root / "cp932");
    PointsSeeds(root / "points");
  } catch (const std::exception& e) {
    std::cerr << "fuzz_seeds: " << e.what() << "\n";
    return 1;
  }
  fs::remove_all(scratch);
  return 0;
}
