// picmap-cli things THG: prints a thing file as one JSON object (comment, named categories,
// and every thing with its eight working pages, in file order).
#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>

#include "cli/cli.h"
#include "cli/common.h"
#include "support/errors.h"
#include "support/text.h"
#include "things/clsThings.h"

namespace picmap::cli {

namespace {

// Whole numbers as JSON integers: the writer would print a real 1000000000 as 1e+09.
QJsonValue NumberValue(double v) {
  if (std::trunc(v) == v && std::fabs(v) < 9007199254740992.0)
    return QJsonValue(static_cast<qint64>(v));
  return QJsonValue(v);
}

QJsonObject PageJson(const ThingPage& page) {
  QJsonObject o;
  o["show"] = page.ShowMode;
  o["small"] = NumberValue(page.ScaleS);
  o["large"] = NumberValue(page.ScaleL);
  o["fore"] = page.Fore;
  o["back"] = page.Back;
  o["style"] = page.Style;
  o["size"] = page.Size;
  o["europian"] = Q(page.Europian);
  o["japanese"] = Q(page.Japanese);
  return o;
}

QJsonObject ThingJson(const clsThing& thing) {
  QJsonArray pages;
  for (int16_t n = 1; n <= clsThing::kPages; ++n) pages.append(PageJson(thing.PageRecord(n)));
  QJsonObject o;
  o["number"] = thing.Index();
  o["figure"] = thing.Figure();
  o["name"] = Q(thing.Name());
  o["category"] = thing.Category();
  o["pages"] = pages;
  return o;
}

QJsonObject CatalogueJson(const clsThings& things) {
  QJsonObject categories;
  for (int16_t n = 1; n <= clsThings::kCategories; ++n) {
    const std::u16string name = things.CategoryName(n);
    if (!name.empty()) categories[QString::number(n)] = Q(name);
  }
  QJsonArray list;
  for (const auto& thing : things) list.append(ThingJson(*thing));
  QJsonObject o;
  o["comment"] = Q(things.Comment());
  o["categories"] = categories;
  o["things"] = list;
  return o;
}

}  // namespace

int RunThings(const QStringList& args) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Prints a thing file (.THG) as one JSON object.");
  parser.addPositionalArgument("THG", "The thing file to print.");
  if (int code = ParseVerb(parser, args, 1); code >= 0) return code;
  const QString path = parser.positionalArguments()[0];
  // A device or a pipe (/dev/zero) would be read without end.
  if (const QFileInfo file(path); file.exists() && !file.isFile())
    return Fail(TrQ("picmap-cli", "%1: 事象ファイルではありません (通常のファイルではありません)").arg(path));
  clsThings things;
  // Exactly the file named: the catalogue's own rule would turn "x.thg" into "x.THG".
  things.AssignFileName(U(path));
  try {
    // A failure has already been reported through the message port (standard error).
    if (things.Load() != 0) return kExitFailure;
  } catch (const Error& e) {
    ReportError(e, path);
    return kExitFailure;
  }
  if (things.SectionsRead() == 0)
    return Fail(TrQ("picmap-cli", "%1: 事象ファイルではありません ([CATEGORY], [THING], [COMMENT] "
                                  "のどの節もありません)")
                    .arg(path));
  const QByteArray json = QJsonDocument(CatalogueJson(things)).toJson(QJsonDocument::Indented);
  std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
  return kExitOk;
}

}  // namespace picmap::cli
