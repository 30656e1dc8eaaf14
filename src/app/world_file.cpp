#include "app/world_file.h"

#include "support/ui_text.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "support/numeric.h"
#include "support/text.h"

namespace picmap {

namespace {

namespace fs = std::filesystem;

constexpr int32_t kLonLimit = 648000;
constexpr int32_t kLatLimit = 324000;
constexpr int32_t kMinLatSpan = 30;
constexpr int32_t kMinSpan = 30;  // the narrowest area polygon generation takes

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// World-file extensions for a picture extension: the first and last letter plus "w", the
// whole extension plus "w", and ".wld".
std::vector<std::string> CandidateExtensions(const std::string& pictureExt) {
  std::vector<std::string> out;
  std::string ext = Lower(pictureExt);
  if (ext.size() >= 3 && ext[0] == '.') {
    if (ext == ".jpeg" || ext == ".jpe") ext = ".jpg";
    if (ext == ".tiff") ext = ".tif";
    out.push_back(std::string(".") + ext[1] + ext.back() + "w");
    out.push_back(ext + "w");
  }
  out.push_back(".wld");
  return out;
}

std::u16string FindInFolder(const fs::path& picture, const std::vector<std::string>& exts) {
  std::error_code ec;
  const fs::path folder = picture.has_parent_path() ? picture.parent_path() : fs::path(".");
  const std::string stem = picture.stem().string();
  for (const std::string& want : exts) {
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      const fs::path& p = entry.path();
      if (p.stem().string() == stem && Lower(p.extension().string()) == want &&
          entry.is_regular_file(ec))
        return FromUtf8(p.string());
    }
  }
  return u"";
}

bool ReadLine(std::istringstream& in, double& v) {
  std::string line;
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos) continue;  // blank lines between the terms are harmless
    // from_chars reads the decimal point whatever the locale (strtod would take the user's).
    const char* s = line.c_str() + start;
    const char* last = line.c_str() + line.size();
    if (*s == '+') ++s;
    const std::from_chars_result r = std::from_chars(s, last, v);
    if (r.ec != std::errc() || r.ptr == s) return false;
    for (const char* end = r.ptr; end != last; ++end)
      if (*end != ' ' && *end != '\t' && *end != '\r') return false;
    return std::isfinite(v);
  }
  return false;
}

std::optional<int32_t> ToSeconds(double degrees) {
  double s = RoundHalfEven(degrees * 3600.0);
  if (!(s >= -2147483648.0 && s <= 2147483647.0)) return std::nullopt;
  return static_cast<int32_t>(s);
}

WorldFileResult Refuse(const std::u16string& why) { return WorldFileResult{std::nullopt, why}; }

}  // namespace

std::u16string FindWorldFile(const std::u16string& picturePath) {
  const fs::path picture(ToUtf8(picturePath));
  return FindInFolder(picture, CandidateExtensions(picture.extension().string()));
}

std::optional<WorldFileTerms> ParseWorldFile(const std::string& text) {
  std::istringstream in(text);
  WorldFileTerms t;
  double* terms[] = {&t.a, &t.d, &t.b, &t.e, &t.c, &t.f};
  for (double* v : terms)
    if (!ReadLine(in, *v)) return std::nullopt;
  return t;
}

WorldFileResult ExtentsFromWorldFile(const WorldFileTerms& t, int32_t width, int32_t height) {
  if (t.d != 0 || t.b != 0) return Refuse(Tr("frmMain", "ワールドファイルに回転の項があるため使用できません."));
  if (!(t.a > 0) || !(t.e < 0))
    return Refuse(Tr("frmMain", "ワールドファイルのピクセルサイズが北を上にした画像のものではありません."));
  if (width < 1 || height < 1) return Refuse(Tr("frmMain", "画像が開かれていません."));
  // The terms give the centre of the upper-left pixel; the edges lie half a pixel outside.
  const double westDeg = t.c - t.a / 2;
  const double northDeg = t.f - t.e / 2;
  auto west = ToSeconds(westDeg);
  auto east = ToSeconds(westDeg + t.a * width);
  auto north = ToSeconds(northDeg);
  auto south = ToSeconds(northDeg + t.e * height);
  const std::u16string outOfRange =
      Tr("frmMain", "ワールドファイルの示す範囲が経度±180度・緯度±90度を超えています.");
  if (!west || !east || !north || !south) return Refuse(outOfRange);
  if (*west < -kLonLimit || *east > kLonLimit || *north > kLatLimit || *south < -kLatLimit)
    return Refuse(outOfRange);
  if (*north < *south + kMinLatSpan) return Refuse(Tr("frmMain", "ワールドファイルの示す緯度の幅が狭すぎます."));
  // Equal west and east would place the picture once round the globe.
  if (*east < *west + kMinSpan) return Refuse(Tr("frmMain", "ワールドファイルの示す経度の幅が狭すぎます."));
  return WorldFileResult{WorldFileExtents{*west, *east, *north, *south}, u""};
}

std::optional<WorldFileTerms> ReadWorldFile(const std::u16string& file) {
  std::ifstream in(ToUtf8(file), std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  if (!in) return std::nullopt;
  return ParseWorldFile(buffer.str());
}

WorldFileResult ExtentsForPicture(const std::u16string& picturePath, int32_t width,
                                  int32_t height) {
  const std::u16string file = FindWorldFile(picturePath);
  if (file.empty())
    return Refuse(picturePath + u"\r\n" +
                  Tr("frmMain", "に対応するワールドファイル(.pgw .jgw .gfw .bpw .tfw .wld)がありません."));
  const std::optional<WorldFileTerms> terms = ReadWorldFile(file);
  if (!terms) return Refuse(file + u"\r\n" + Tr("frmMain", "はワールドファイルとして読めません."));
  return ExtentsFromWorldFile(*terms, width, height);
}

}  // namespace picmap
