#include "ogr/map_export.h"

#include <sys/stat.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <gdal_utils.h>

#include "ogr/dissolve.h"
#include "ogr/mll_driver.h"
#include "ogr/mll_features.h"
#include "support/errors.h"
#include "support/stagedfile.h"
#include "support/text.h"
#include "support/ui_text.h"

namespace picmap::ogr {

namespace {

struct DatasetCloser {
  void operator()(GDALDataset* ds) const { GDALClose(ds); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

// `english` for the driver's log and tests; `reason` and `values` for the program that shows
// the failure in its user's language.
void Refuse(ExportResult& result, std::string english, const char* reason,
            std::vector<std::string> values) {
  result.error = std::move(english);
  result.reason = reason;
  result.values = std::move(values);
}

std::string LastGdalError(const std::string& fallback) {
  std::string message = CPLGetLastErrorMsg();
  for (char& c : message)
    if (c == '\n') c = ' ';
  return message.empty() ? fallback : message;
}

bool WritesVector(GDALDriver& d) {
  return d.GetMetadataItem(GDAL_DCAP_VECTOR) &&
         (d.GetMetadataItem(GDAL_DCAP_CREATE) || d.GetMetadataItem(GDAL_DCAP_CREATECOPY));
}

bool ListsExtension(GDALDriver& d, const std::string& ext) {
  const char* list = d.GetMetadataItem(GDAL_DMD_EXTENSIONS);
  if (!list) list = d.GetMetadataItem(GDAL_DMD_EXTENSION);
  const CPLStringList exts(CSLTokenizeString(list ? list : ""));
  for (int i = 0; i < exts.size(); ++i)
    if (EQUAL(exts[i], ext.c_str())) return true;
  return false;
}

// The one vector driver that writes files with the extension of `out`, as ogr2ogr picks it;
// among several, the one named like the extension (KML before LIBKML).
std::string FormatOf(const std::string& out, ExportResult& result) {
  const std::string ext = CPLGetExtension(out.c_str());
  if (ext.empty()) {
    Refuse(result, out + ": cannot tell the format from the name; give it with -f",
           QT_TRANSLATE_NOOP("MapExport", "%1: 名前から形式が分かりません. -f で指定してください"),
           {out});
    return {};
  }
  std::vector<std::string> names;
  GDALDriverManager* manager = GetGDALDriverManager();
  for (int i = 0; i < manager->GetDriverCount(); ++i) {
    GDALDriver* d = manager->GetDriver(i);
    if (!WritesVector(*d) || !ListsExtension(*d, ext)) continue;
    if (EQUAL(d->GetDescription(), ext.c_str())) return d->GetDescription();
    names.push_back(d->GetDescription());
  }
  if (names.size() == 1) return names[0];
  if (names.empty()) {
    Refuse(result, out + ": no vector format writes ." + ext + " files; give one with -f",
           QT_TRANSLATE_NOOP("MapExport",
                             "%1: .%2 のファイルを書くベクター形式がありません. -f で指定してください"),
           {out, ext});
  } else {
    std::string list;
    for (size_t i = 0; i < names.size(); ++i) list += (i ? ", " : "") + names[i];
    Refuse(result, out + ": several formats write ." + ext + " files (" + list + "); choose one with -f",
           QT_TRANSLATE_NOOP("MapExport",
                             "%1: .%2 のファイルを書く形式が複数あります (%3). -f で選んでください"),
           {out, ext, list});
  }
  return {};
}

// The layers worth writing: those with features and geometry.
std::vector<OGRLayer*> LayersToExport(GDALDataset& ds) {
  std::vector<OGRLayer*> layers;
  for (int i = 0; i < ds.GetLayerCount(); ++i) {
    OGRLayer* layer = ds.GetLayer(i);
    if (layer->GetGeomType() != wkbNone && layer->GetFeatureCount() > 0) layers.push_back(layer);
  }
  return layers;
}

DatasetPtr NewMemoryDataset() {
  GDALDriver* memory = GetGDALDriverManager()->GetDriverByName("Memory");
  return DatasetPtr(memory ? memory->Create("", 0, 0, 0, GDT_Unknown, nullptr) : nullptr);
}

// A map written from the gathered or dissolved figures keeps the source map's thing file, which
// its dataset names: without the name it would get the template's things.
void CarryThingFile(GDALDataset& from, GDALDataset& to) {
  if (const char* thg = from.GetMetadataItem(kThingFileItem)) to.SetMetadataItem(kThingFileItem, thg);
}

// A dataset in memory with the dissolved polygons and the other layers as they are.
DatasetPtr Dissolved(GDALDataset& map, ExportResult& result) {
  DatasetPtr ds = NewMemoryDataset();
  if (!ds) return nullptr;
  CarryThingFile(map, *ds);
  for (OGRLayer* layer : LayersToExport(map)) {
    if (EQUAL(layer->GetName(), "polygons")) {
      DissolveCounts counts;
      if (!DissolvePolygons(*layer, *ds, &counts)) return nullptr;
      result.figures = counts.figures;
    } else if (!ds->CopyLayer(layer, layer->GetName())) {
      return nullptr;
    }
  }
  return ds;
}

// For formats of one layer per file: every figure in one layer "figures", in map order by
// kind, with the fields of all kinds.
DatasetPtr Combined(GDALDataset& source) {
  const std::vector<OGRLayer*> layers = LayersToExport(source);
  DatasetPtr ds = NewMemoryDataset();
  OGRLayer* all = ds ? ds->CreateLayer("figures", layers[0]->GetSpatialRef(), wkbUnknown) : nullptr;
  if (!all) return nullptr;
  CarryThingFile(source, *ds);
  for (OGRLayer* layer : layers) {
    OGRFeatureDefn* defn = layer->GetLayerDefn();
    for (int i = 0; i < defn->GetFieldCount(); ++i)
      if (all->GetLayerDefn()->GetFieldIndex(defn->GetFieldDefn(i)->GetNameRef()) < 0)
        all->CreateField(defn->GetFieldDefn(i));
  }
  for (OGRLayer* layer : layers) {
    layer->ResetReading();
    for (auto& f : *layer) {
      OGRFeature copy(all->GetLayerDefn());
      copy.SetFrom(f.get(), TRUE);
      copy.SetFID(f->GetFID());
      if (all->CreateFeature(&copy) != OGRERR_NONE) return nullptr;
    }
  }
  return ds;
}

bool Given(const std::vector<std::string>& options, const char* name) {
  for (const std::string& o : options)
    if (EQUALN(o.c_str(), name, std::strlen(name)) && o.size() > std::strlen(name) && o[std::strlen(name)] == '=')
      return true;
  return false;
}

CPLStringList TranslateArguments(const ExportRequest& request, const std::string& format,
                                 const std::vector<OGRLayer*>& layers) {
  CPLStringList args;
  args.AddString("-f");
  args.AddString(format.c_str());
  for (const std::string& o : request.layerOptions) {
    args.AddString("-lco");
    args.AddString(o.c_str());
  }
  for (const std::string& o : request.datasetOptions) {
    args.AddString("-dsco");
    args.AddString(o.c_str());
  }
  if (!request.layerName.empty()) {
    args.AddString("-nln");
    args.AddString(request.layerName.c_str());
    // Several kinds of figure in the one layer: it is declared for any geometry, or the first
    // kind's type would be claimed for all (a GeoPackage then does not conform).
    if (std::any_of(layers.begin(), layers.end(),
                    [&](OGRLayer* l) { return l->GetGeomType() != layers.front()->GetGeomType(); })) {
      args.AddString("-nlt");
      args.AddString("GEOMETRY");
    }
  }
  if (EQUAL(format.c_str(), "CSV") && !Given(request.layerOptions, "GEOMETRY")) {
    args.AddString("-lco");  // a CSV file without its geometry would be a list of attributes
    args.AddString("GEOMETRY=AS_WKT");
  }
  if (EQUAL(format.c_str(), "MapInfo File")) {
    args.AddString("-unsetFieldWidth");  // its decimal fields end at 20 digits: fig_id as a float
    // Its tables name their code page; every text of a map fits code page 932, so the
    // writer's recoding loses nothing, and MapInfo shows Japanese instead of guessing.
    if (!Given(request.layerOptions, "ENCODING")) {
      args.AddString("-lco");
      args.AddString("ENCODING=CP932");
    }
  }
  if (EQUAL(format.c_str(), "ESRI Shapefile")) {  // thing names are Japanese
    args.AddString("-lco");
    args.AddString("ENCODING=UTF-8");
  }
  if (EQUAL(format.c_str(), "GeoJSON")) {
    // RFC 7946: WGS 84 and counter-clockwise outer rings; ten decimals keep whole arc-seconds.
    for (const char* option : {"RFC7946=YES", "COORDINATE_PRECISION=10"}) {
      args.AddString("-lco");
      args.AddString(option);
    }
  }
  for (OGRLayer* layer : layers) args.AddString(layer->GetName());
  return args;
}

// GDAL's own failure texts speak of its tools' options; an export reports one line with the
// first cause instead. Any failure, even one GDAL's translation goes on after (a feature that
// could not be read), fails the export: its output would miss features.
thread_local std::string tFirstFailure;
// A format without fields of its own (DXF, DGN) refuses each field, and GDAL writes the
// figures without them: told once, as a warning, not as a failed export.
thread_local int tFieldsRefused = 0;

bool IsFieldRefusal(const char* message) {
  return message && (std::strstr(message, "field creation") || std::strstr(message, "CreateField() not supported"));
}

void CPL_STDCALL FirstFailureOnly(CPLErr kind, CPLErrorNum number, const char* message) {
  if (kind < CE_Failure) return CPLDefaultErrorHandler(kind, number, message);
  if (IsFieldRefusal(message)) {
    ++tFieldsRefused;
    return;
  }
  if (tFirstFailure.empty()) tFirstFailure = message && *message ? message : "failed";
}

// A full disk shows in GDAL's words as whatever its format's writer met (an SQL trigger error,
// a short write); the folder's free space tells the real cause.
std::string WriteFailureCause(const std::string& out) {
  const GIntBig free = VSIGetDiskFreeSpace(CPLGetPath(out.c_str()));
  if (free >= 0 && free < (GIntBig{1} << 16)) return "disk full";
  std::string cause = tFirstFailure.empty() ? LastGdalError("failed") : tFirstFailure;
  for (char& c : cause)
    if (c == '\n') c = ' ';
  // Each colour of a map is a brush of its own in a MapInfo table, whose styles fill a few
  // thousand at most: the picture's colours, not the file, are too many.
  if (cause.find("tool blocks") != std::string::npos)
    cause += " (a MapInfo table holds a few thousand colours at most: reduce the picture's colours "
             "with convert --colors, or write another format)";
  return cause;
}

void RefuseUnreadable(ExportResult& result, const std::string& map, const std::string& cause) {
  Refuse(result, map + ": cannot be read whole: " + cause,
         QT_TRANSLATE_NOOP("MapExport", "%1: 全体を読み込めません: %2"), {map, cause});
}

void RefuseWrite(ExportResult& result, const std::string& out, const std::string& cause) {
  Refuse(result, out + ": cannot write: " + cause,
         QT_TRANSLATE_NOOP("MapExport", "%1: 書き込めません: %2"), {out, cause});
}

// The text formats' writers pass over a short write: a full disk leaves a cut file they close
// as written. Their output is read back and must hold every feature.
bool ReadsBackWhole(const std::string& out, const std::string& format, int64_t expected) {
  static const char* const kUnchecked[] = {"GeoJSON", "GeoJSONSeq", "KML", "LIBKML", "GML"};
  if (std::none_of(std::begin(kUnchecked), std::end(kUnchecked),
                   [&](const char* f) { return EQUAL(f, format.c_str()); }))
    return true;
  const char* const readers[] = {format.c_str(), EQUAL(format.c_str(), "KML") ? "LIBKML" : "KML", nullptr};
  CPLPushErrorHandler(CPLQuietErrorHandler);
  DatasetPtr back(GDALDataset::Open(out.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, readers));
  int64_t found = 0;
  for (int i = 0; back && i < back->GetLayerCount(); ++i) found += back->GetLayer(i)->GetFeatureCount(TRUE);
  CPLPopErrorHandler();
  return back && found == expected;
}

bool Translate(GDALDataset& source, const ExportRequest& request, const std::string& out,
               const std::string& format, ExportResult& result) {
  const std::vector<OGRLayer*> layers = LayersToExport(source);
  if (layers.empty()) {
    Refuse(result, request.map + ": the map has no figures to export",
           QT_TRANSLATE_NOOP("MapExport", "%1: 地図に書き出す図形がありません"), {request.map});
    return false;
  }
  CPLStringList args = TranslateArguments(request, format, layers);
  GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(args.List(), nullptr);
  GDALDatasetH src = GDALDataset::ToHandle(&source);
  int usageError = FALSE;
  CPLErrorReset();
  tFirstFailure.clear();
  tFieldsRefused = 0;
  CPLPushErrorHandler(FirstFailureOnly);
  GDALDatasetH written = GDALVectorTranslate(out.c_str(), nullptr, 1, &src, options, &usageError);
  GDALVectorTranslateOptionsFree(options);
  if (written) GDALClose(written);
  CPLPopErrorHandler();
  if (tFieldsRefused > 0 && written && tFirstFailure.empty())
    CPLError(CE_Warning, CPLE_AppDefined, "%s holds no fields of ours: the figures are written without their fields",
             format.c_str());
  if (!written || !tFirstFailure.empty()) {
    // The map driver's own messages: the map broke off while it was read, not the output.
    if (tFirstFailure.rfind("MLL: ", 0) == 0)
      RefuseUnreadable(result, request.map, tFirstFailure.substr(5));
    else
      RefuseWrite(result, out, WriteFailureCause(out));
    return false;
  }
  for (OGRLayer* layer : layers) result.features += layer->GetFeatureCount();
  if (!ReadsBackWhole(out, format, result.features)) {
    tFirstFailure = "the file written is not whole";
    RefuseWrite(result, out, WriteFailureCause(out));
    return false;
  }
  return true;
}

GDALDriver* OutputDriver(const ExportRequest& request, ExportResult& result) {
  result.format = request.format.empty() ? FormatOf(request.out, result) : request.format;
  GDALDriver* driver =
      result.format.empty() ? nullptr : GetGDALDriverManager()->GetDriverByName(result.format.c_str());
  if (driver && WritesVector(*driver)) return driver;
  if (result.error.empty())
    Refuse(result, "GDAL has no vector format " + result.format + " it can write",
           QT_TRANSLATE_NOOP("MapExport", "GDAL には書き込めるベクター形式 %1 がありません"),
           {result.format});
  result.usage = true;
  return nullptr;
}

bool TargetFree(const ExportRequest& request, ExportResult& result) {
  VSIStatBufL stat;
  if (request.overwrite || VSIStatL(request.out.c_str(), &stat) != 0) return true;
  Refuse(result, request.out + ": exists already; give --overwrite to replace it",
         QT_TRANSLATE_NOOP("MapExport", "%1: 既にあります. 置き換えるには --overwrite を指定してください"),
         {request.out});
  return false;
}

// A layer whose every figure is damaged counts no feature and is not exported; read through
// once, it tells of its figures as a layer that is exported does.
void ReadLayersLeftOut(GDALDataset& map) {
  for (int i = 0; i < map.GetLayerCount(); ++i) {
    OGRLayer* layer = map.GetLayer(i);
    if (layer->GetGeomType() == wkbNone || layer->GetFeatureCount() > 0) continue;
    layer->ResetReading();
    while (OGRFeature* f = layer->GetNextFeature()) OGRFeature::DestroyFeature(f);
    layer->ResetReading();
  }
}

// The map and what is made of it on the way to the output; `top` is the one written.
struct Sources {
  DatasetPtr map, dissolved, combined;
  GDALDataset* top = nullptr;
};

bool Prepare(const ExportRequest& request, GDALDriver& driver, Sources& s, ExportResult& result) {
  VSIStatBufL stat;
  if (VSIStatL(request.map.c_str(), &stat) != 0) {
    Refuse(result, request.map + ": the map file does not exist",
           QT_TRANSLATE_NOOP("MapExport", "%1: 地図ファイルがありません"), {request.map});
    return false;
  }
  const char* const mllOnly[] = {"MLL", nullptr};
  CPLErrorReset();
  s.map.reset(GDALDataset::Open(request.map.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, mllOnly));
  if (!s.map) {
    const std::string why = LastGdalError("");
    if (why.empty())
      Refuse(result, request.map + ": not a map file this program can read",
             QT_TRANSLATE_NOOP("MapExport", "%1: このプログラムが読める地図ファイルではありません"),
             {request.map});
    else
      Refuse(result, request.map + ": not a map file this program can read (" + why + ")",
             QT_TRANSLATE_NOOP("MapExport", "%1: このプログラムが読める地図ファイルではありません (%2)"),
             {request.map, why});
    return false;
  }
  s.top = s.map.get();
  ReadLayersLeftOut(*s.map);
  if (request.dissolve) {
    s.dissolved = Dissolved(*s.map, result);
    if (!s.dissolved) {
      result.error = LastGdalError("the polygons could not be dissolved");
      return false;
    }
    s.top = s.dissolved.get();
  }
  const size_t kinds = LayersToExport(*s.top).size();
  // A shapefile holds one kind of figure; a folder of them one file for each kind.
  const bool shapefile = EQUAL(driver.GetDescription(), "ESRI Shapefile");
  const bool shapefileFolder = shapefile && !EQUAL(CPLGetExtension(request.out.c_str()), "shp");
  if (kinds > 1 && shapefile && !shapefileFolder) {
    Refuse(result,
           request.out + ": a shapefile holds one kind of figure and the map holds " + std::to_string(kinds) +
               ": name a folder to write one shapefile for each",
           QT_TRANSLATE_NOOP("MapExport", "%1: シェープファイルには 1 種類の図形しか入りません (地図には %2 種類): "
                                          "種類ごとに書き出すにはフォルダーを指定してください"),
           {request.out, std::to_string(kinds)});
    return false;
  }
  if (kinds > 1 && !shapefileFolder && !driver.GetMetadataItem(GDAL_DCAP_MULTIPLE_VECTOR_LAYERS)) {
    s.combined = Combined(*s.top);
    if (!s.combined) {
      result.error = LastGdalError("the figures could not be gathered into one layer");
      return false;
    }
    s.top = s.combined.get();
  }
  return true;
}


// The output is written into a temporary folder beside it, under its own name (a format of
// several files writes them all there), and each file then takes its place as every save of
// picmap does: an existing output stays whole until the new one is, and stays on any failure.
class StagedOutput {
 public:
  explicit StagedOutput(const std::string& out)
      : target_(InExistingFolder(ResolvedTarget(out))), lock_(LockSavesBeside(target_)) {
    RemoveStaleTemporaries(*lock_, target_);
    folder_ = TemporaryNameBeside(target_);
    if (::mkdir(folder_.c_str(), 0777) != 0) ThrowFileError(errno, target_);
  }
  ~StagedOutput() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  std::string Path() const { return folder_ + "/" + CPLGetFilename(target_.c_str()); }

  // A missing folder is named as such, as every save of picmap names it, not as a missing file.
  static std::string InExistingFolder(const std::string& target) {
    const std::string folder = CPLGetPath(target.c_str());
    std::error_code ec;
    if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec))
      Throw(err::kFileNotFound, u"", u"No such folder: " + FromUtf8(folder));
    return target;
  }

  // `keepBackups` keeps each file replaced under its time-stamped backup name, as a map's save
  // keeps it; their names are returned.
  std::vector<std::string> PutInPlace(bool keepBackups) {
    const std::string besideTarget = CPLGetPath(target_.c_str());
    std::vector<std::unique_ptr<StagedFile>> files;
    SaveTransaction all;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      files.push_back(std::make_unique<StagedFile>());
      files.back()->Adopt(FromUtf8(besideTarget.empty() ? name : besideTarget + "/" + name),
                          FromUtf8(entry.path().string()));
      files.back()->Commit(keepBackups);
    }
    all.Complete();
    std::vector<std::string> kept;
    for (const std::u16string& backup : all.KeptBackups()) kept.push_back(ToUtf8(backup));
    return kept;
  }

 private:
  std::string target_;
  std::shared_ptr<SaveLock> lock_;
  std::string folder_;
};

bool WriteStaged(GDALDataset& source, const ExportRequest& request, ExportResult& result) {
  try {
    StagedOutput staged(request.out);
    // FlatGeobuf writes a folder for any name but NAME.fgb; one layer is one file whatever OUT's name.
    const bool fgbName = EQUAL(result.format.c_str(), "FlatGeobuf") && LayersToExport(source).size() == 1 &&
                         !EQUAL(CPLGetExtension(request.out.c_str()), "fgb");
    const std::string written = fgbName ? staged.Path() + ".fgb" : staged.Path();
    if (!Translate(source, request, written, result.format, result)) {
      result.values.push_back(result.error);
      for (std::string& text : result.values) {
        const size_t at = text.find(written);
        if (at != std::string::npos) text.replace(at, written.size(), request.out);
      }
      result.error = result.values.back();
      result.values.pop_back();
      return false;
    }
    if (fgbName && std::rename(written.c_str(), staged.Path().c_str()) != 0) ThrowFileError(errno, request.out);
    // A map written over another is kept with its thing file, as every save of a map keeps
    // them: the thing file may hold things of the user's own.
    result.keptBackups = staged.PutInPlace(EQUAL(result.format.c_str(), "MLL"));
    return true;
  } catch (const Error& e) {
    // The description ends in the path the line names already.
    const std::string cause = ToUtf8(e.Description());
    RefuseWrite(result, request.out, cause.substr(0, cause.find(": /")));
    return false;
  }
}

}  // namespace

ExportResult ExportMap(const ExportRequest& request) {
  RegisterMllDriver();
  GDALAllRegister();
  ExportResult result;
  GDALDriver* driver = OutputDriver(request, result);
  if (!driver || !TargetFree(request, result)) return result;
  Sources sources;
  // The map is read while it is prepared (counted, gathered into one layer, dissolved): a figure
  // that cannot be read there fails the export as it does while the output is written.
  tFirstFailure.clear();
  CPLPushErrorHandler(FirstFailureOnly);
  const bool prepared = Prepare(request, *driver, sources, result);
  CPLPopErrorHandler();
  if (!prepared) return result;
  if (tFirstFailure.rfind("MLL: ", 0) == 0) {
    RefuseUnreadable(result, request.map, tFirstFailure.substr(5));
    return result;
  }
  WriteStaged(*sources.top, request, result);
  return result;
}

}  // namespace picmap::ogr
