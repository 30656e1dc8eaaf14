#include "map/converter_header.h"

#include "map/NewRemark.h"
#include "map/clsMap.h"
#include "map/clsMapRem.h"
#include "support/figcodes.h"
#include "support/library.h"
#include "support/text.h"

namespace picmap {

namespace {

// The spaces are ideographic spaces aligning the full-width colons.
constexpr const char16_t* kHeader[19] = {
    u"",  // 1
    u"# プロジェクト　　：KARTOVA",  // 2
    u"# 地図バージョン　：",  // 3
    u"# 種別　　　　　　：その他地図",  // 4
    u"# 国番号　　　　　：000",  // 5
    u"# 縮尺レベル　　　：8",  // 6
    u"# 地図コード　　　：108000",  // 7
    u"# 欧文地図名　　　：",  // 8
    u"# 和文地図名　　　：",  // 9
    u"# 地図ファイル名　：",  // 10
    u"# 事象ファイル名　：",  // 11
    u"# 行政区ファイル名：",  // 12
    u"# 推奨縮尺　　　　：",  // 13
    u"# 対応地図ソフト　：KARTOVA 2.53～ / GRAVELOT 1.53～",  // 14
    u"# 著作者　　　　　：",  // 15
    u"# 最終更新日　　　：",  // 16
    u"# 収録項目　　　　：画像ポリゴン (",  // 17
    u"# 参考資料　　　　：",  // 18
    u"",  // 19
};

}  // namespace

std::u16string MapBaseName(const std::u16string& path) {
  const std::u16string name = FileNameOf(path);
  return name.size() > 4 ? name.substr(0, name.size() - 4) : std::u16string();
}

std::vector<std::u16string> ConverterHeaderLines(const std::u16string& base, int32_t toneLevels,
                                                 const DateTime& date) {
  std::vector<std::u16string> lines;
  for (int n = 1; n <= 19; ++n) {
    std::u16string line = kHeader[n - 1];
    switch (n) {
      case 3: line += u"1.06"; break;
      case 8: line += base; break;
      case 10: line += base + u".MLL"; break;
      case 11: line += base + u".THG"; break;
      case 16: line += LongDateText(date); break;
      case 17: line += FromUtf8(std::to_string(toneLevels)) + u"諧調)"; break;
      default: break;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::u16string> ConverterClosingLines() { return {u"", u"/ end of file"}; }

bool IsMapsClosingLine(const clsMapFigure& figure) {
  return figure.FigCode() == figcode::kRemark &&
         static_cast<const clsMapRem&>(figure).Comment() == ConverterClosingLines().back();
}

void AddRemarks(clsMap& map, const std::vector<std::u16string>& lines) {
  for (const std::u16string& line : lines) map.Add(NewRemark(line));
}

}  // namespace picmap
