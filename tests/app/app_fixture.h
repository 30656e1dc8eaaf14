// Shared set-up of the conversion tests: scripted ports, a program folder with a template
// thing file, a scripted window and the logic driving it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/frm_main.h"
#include "app/scripted_window.h"
#include "support/angle.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::test {

// A thing file holding the image-polygon thing as number 7 (and, unless told, one more).
inline std::string TemplateThings(bool withImagePolygon = true) {
  std::u16string s = u"[CATEGORY]\r\n1,\"画像\"\r\n\r\n";
  s += u"[THING]\r\nNUMBER=3\r\nFIGURE=POLYLINE\r\nNAME=\"海岸線\"\r\nCATEGORY=1\r\n\r\n";
  if (withImagePolygon)
    s += u"[THING]\r\nNUMBER=7\r\nFIGURE=POLYGON\r\nNAME=\"画像ポリゴン\"\r\nCATEGORY=1\r\n\r\n";
  return ToCp932(s);
}

class TempFolder {
 public:
  TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "picmap_app_XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }
  std::u16string U16() const { return FromUtf8(path_.string()); }
  std::u16string File(const std::string& name) const { return FromUtf8((path_ / name).string()); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
  }

 private:
  std::filesystem::path path_;
};

// A picture of one colour.
inline Picture Solid(int32_t w, int32_t h, int32_t colour) { return Picture(w, h, colour); }

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAngleSettings();
    ProgramInfo info;
    info.folder = folder.U16();
    info.title = u"picmap";
    info.major = 1;
    info.minor = 0;
    info.revision = 12;
    SetProgramInfo(info);
    folder.Write("PICMAP.THG", TemplateThings());
    logic = std::make_unique<frmMainLogic>(win);
    logic->SetEventInterval(std::chrono::milliseconds(0));
  }

  // Start-up, then a picture opened from `name` in the folder.
  void StartWith(const Picture& picture, const std::string& name = "japan.png") {
    ASSERT_TRUE(logic->Form_Load());
    Open(picture, name);
  }
  void Open(const Picture& picture, const std::string& name = "japan.png") {
    const std::u16string path = folder.File(name);
    win.pictureFiles[path] = picture;
    win.openAnswers.push_back(path);
    logic->mnuOpen_Click();
  }
  void SetExtents(int32_t west, int32_t east, int32_t north, int32_t south) {
    ConversionState& s = logic->MutableState();
    s.west = west;
    s.east = east;
    s.north = north;
    s.south = south;
  }

  ScopedScriptedPorts ports;
  TempFolder folder;
  ScriptedWindow win;
  std::unique_ptr<frmMainLogic> logic;
};

}  // namespace picmap::test
