#include "ogr/mll_dataset.h"

#include <algorithm>
#include <array>
#include <limits>

#include <cpl_string.h>
#include <cpl_vsi.h>

#include "map/clsMapRem.h"
#include "map/converter_header.h"
#include "map/map_elements.h"
#include "ogr/cpl_messages.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/platform.h"
#include "support/text.h"

namespace picmap::ogr {

namespace {

constexpr int16_t kIdentifiedVersion = 106;  // files from 1.06 on store each figure's identifier
constexpr int16_t kHeaderlessVersion = 99;
// Walking reads the file through in large blocks; features are then read where they lie,
// so a read of one feature fetches only its neighbourhood.
constexpr size_t kFeatureRefill = 64 * 1024;
constexpr vsi_l_offset kLargestThingFile = 64 << 20;

const char kRefusedWrite[] =
    "MLL: map files are not changed in place; ogr2ogr -f MLL (without -update, -append or "
    "-overwrite) writes the whole file anew";

bool EndsWithIgnoringCase(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && EQUAL(s.c_str() + s.size() - n, tail);
}

// A file GDAL opened, read through its own file layer.
class VsiFile final : public ByteSource {
 public:
  explicit VsiFile(VSILFILE* fp) : fp_(fp) {}
  ~VsiFile() override { VSIFCloseL(fp_); }
  VsiFile(const VsiFile&) = delete;
  VsiFile& operator=(const VsiFile&) = delete;

  int64_t Size() override {
    if (VSIFSeekL(fp_, 0, SEEK_END) != 0) return -1;
    return static_cast<int64_t>(VSIFTellL(fp_));
  }
  size_t ReadAt(void* dst, size_t n, int64_t offset) override {
    if (VSIFSeekL(fp_, static_cast<vsi_l_offset>(offset), SEEK_SET) != 0) return 0;
    return VSIFReadL(dst, 1, n, fp_);
  }

 private:
  VSILFILE* fp_;
};

// The whole of a small file through GDAL's file layer; none when there is no such file.
std::optional<std::string> ReadWholeFile(const std::u16string& name) {
  const std::string path = ToUtf8(name);
  VSIStatBufL stat;
  if (VSIStatL(path.c_str(), &stat) != 0 || VSI_ISDIR(stat.st_mode)) return std::nullopt;
  GByte* data = nullptr;
  vsi_l_offset size = 0;
  CPLPushErrorHandler(CPLQuietErrorHandler);
  const int read = VSIIngestFile(nullptr, path.c_str(), &data, &size, kLargestThingFile);
  CPLPopErrorHandler();
  std::optional<std::string> content;
  if (read) content.emplace(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
  VSIFree(data);
  return content;
}

// The layer of each figure code (1 .. 5).
std::array<int, 6> LayerOfCode() {
  std::array<int, 6> layer{};
  layer.fill(-1);
  for (int i = 0; i < kLayerKinds; ++i) layer[static_cast<size_t>(LayerKindAt(i).figCode)] = i;
  return layer;
}

void Include(Bounds& extent, const Bounds& b) {
  extent.minX = std::min(extent.minX, b.minX);
  extent.minY = std::min(extent.minY, b.minY);
  extent.maxX = std::max(extent.maxX, b.maxX);
  extent.maxY = std::max(extent.maxY, b.maxY);
}

OGREnvelope EnvelopeOf(const Bounds& b, bool degrees) {
  OGREnvelope env;
  env.MinX = degrees ? SecToDegrees(b.minX) : b.minX;
  env.MaxX = degrees ? SecToDegrees(b.maxX) : b.maxX;
  env.MinY = degrees ? SecToDegrees(b.minY) : b.minY;
  env.MaxY = degrees ? SecToDegrees(b.maxY) : b.maxY;
  return env;
}

constexpr Bounds kNoBounds{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
                           std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()};

}  // namespace

MapSource::MapSource(std::unique_ptr<ByteSource> file, bool degrees)
    : degrees(degrees), ids_(FigureIdSequence()), openedAt_(ToEpochSeconds(Now())) {
  reader.Open(std::move(file));
}

MapSource::~MapSource() = default;

void MapSource::StartReading() {
  reader.RefillSize(kFeatureRefill);
  elements_ = std::make_unique<MapElementReader>(reader, version);
}

// Files before 1.06 give their figures no identifiers: a load draws a new one for the header
// and then for each figure in turn. Each figure here gets the one it would have had from a
// load when the map was opened, the same however often and in whatever order it is read.
const clsMapFigure& MapSource::Figure(int32_t position, int64_t offset) {
  clsMapFigure& figure = elements_->Read(offset, position);
  if (version < kIdentifiedVersion) {
    const int32_t draw = version == kHeaderlessVersion ? position - 1 : position;
    figure.FigID(FigureIdAhead(ids_, static_cast<uint64_t>(draw), openedAt_));
  }
  return figure;
}

MllLayer::MllLayer(std::shared_ptr<MapSource> source, const LayerKind& kind,
                   OGRSpatialReference* srs, LayerEntries entries, size_t refused,
                   const Bounds& extent)
    : source_(std::move(source)),
      kind_(kind),
      defn_(NewLayerDefinition(kind, srs)),
      entries_(std::move(entries)),
      refused_(refused),
      extent_(extent) {
  defn_->Reference();
  SetDescription(kind.name);
}

MllLayer::~MllLayer() { defn_->Release(); }

void MllLayer::ResetReading() {
  next_ = 0;
  tailReported_ = false;
}

// A figure that cannot be read (a damaged file) is an error for its feature alone: GDAL's
// host program must never see an exception.
OGRFeature* MllLayer::Make(size_t entry) {
  const int32_t position = entries_[entry].position;
  try {
    const clsMapFigure& figure = source_->Figure(position, entries_[entry].offset);
    const FeatureContext context{&source_->things, source_->degrees, &source_->features, source_->version >= 106};
    return FeatureOf(figure, position, defn_, context);
  } catch (...) {
    const Error e = CurrentError();
    CPLError(CE_Failure, CPLE_AppDefined, "MLL: feature %d of layer %s cannot be read and is left out: %s",
             position, defn_->GetName(), DescriptionText(e).c_str());
    return nullptr;
  }
}

// The figures after an element the walk could not read past are unknown, and may belong to
// any layer.
void MllLayer::ReportUnreadTail() {
  CPLError(CE_Failure, CPLE_AppDefined,
           "MLL: %s: element %d cannot be read (%s); the figures from there to the end of the "
           "file are left out",
           GetDescription(), source_->unreadFrom, source_->unreadReason.c_str());
}

// The first filter of a layer scans the bounds in its table: a few milliseconds for a million
// figures, less than building the tree costs, and a single filter (ogr2ogr -spat) is common. A
// layer filtered again (a GIS program panning and zooming) gets the tree.
const std::vector<uint32_t>& MllLayer::Candidates() {
  if (candidatesFor_ && *candidatesFor_ == m_sFilterEnvelope) return candidates_;
  const bool degrees = source_->degrees;
  const OGREnvelope filter = m_sFilterEnvelope;
  const auto meets = [&](const Bounds& b) { return EnvelopeOf(b, degrees).Intersects(filter); };
  if (!candidatesFor_) {
    candidates_.clear();
    for (size_t i = 0; i < entries_.size(); ++i) {
      const Bounds& b = entries_[i].bounds;
      if (!b.Empty() && meets(b)) candidates_.push_back(static_cast<uint32_t>(i));
    }
  } else {
    if (!index_)
      index_ = std::make_unique<BoundsIndex>(entries_.size(), extent_, [&](uint32_t i) { return entries_[i].bounds; });
    candidates_ = index_->Search(meets);
  }
  candidatesFor_ = filter;
  return candidates_;
}

OGRFeature* MllLayer::GetNextFeature() {
  for (;;) {
    size_t entry;
    if (m_poFilterGeom) {
      const std::vector<uint32_t>& candidates = Candidates();
      if (next_ >= candidates.size()) break;
      entry = candidates[next_++];
    } else {
      if (next_ >= entries_.size()) break;
      entry = next_++;
    }
    OGRFeature* f = Make(entry);
    if (!f) continue;
    if ((!m_poFilterGeom || FilterGeometry(f->GetGeometryRef())) &&
        (!m_poAttrQuery || m_poAttrQuery->Evaluate(f)))
      return f;
    delete f;
  }
  if (source_->unreadFrom != 0 && !tailReported_) {
    tailReported_ = true;  // once for each reading that gets to the end
    ReportUnreadTail();
  }
  return nullptr;
}

OGRFeature* MllLayer::GetFeature(GIntBig fid) {
  const size_t at = entries_.LowerBound(fid);
  if (at == entries_.size() || entries_[at].position != fid) {
    if (source_->unreadFrom != 0 && fid >= source_->unreadFrom) ReportUnreadTail();
    return nullptr;
  }
  return Make(at);
}

GIntBig MllLayer::GetFeatureCount(int force) {
  if (!m_poFilterGeom && !m_poAttrQuery)
    return static_cast<GIntBig>(entries_.size() - refused_);
  return OGRLayer::GetFeatureCount(force);
}

OGRErr MllLayer::GetExtent(OGREnvelope* extent, int) {
  if (extent_.Empty()) return OGRERR_FAILURE;
  *extent = EnvelopeOf(extent_, source_->degrees);
  return OGRERR_NONE;
}

int MllLayer::TestCapability(const char* cap) {
  if (EQUAL(cap, OLCRandomRead) || EQUAL(cap, OLCStringsAsUTF8)) return TRUE;
  if (EQUAL(cap, OLCFastFeatureCount)) return !m_poFilterGeom && !m_poAttrQuery;
  if (EQUAL(cap, OLCFastGetExtent)) return kind_.geometry != wkbNone;
  if (EQUAL(cap, OLCFastSpatialFilter)) return kind_.geometry != wkbNone;
  return FALSE;
}

// GIS programs open files for update before they know whether anything will be changed; the
// map opens all the same, and only a change is refused.
OGRErr MllLayer::ISetFeature(OGRFeature*) {
  CPLError(CE_Failure, CPLE_NotSupported, "%s", kRefusedWrite);
  return OGRERR_UNSUPPORTED_OPERATION;
}

OGRErr MllLayer::ICreateFeature(OGRFeature*) {
  CPLError(CE_Failure, CPLE_NotSupported, "%s", kRefusedWrite);
  return OGRERR_UNSUPPORTED_OPERATION;
}

OGRErr MllLayer::DeleteFeature(GIntBig) {
  CPLError(CE_Failure, CPLE_NotSupported, "%s", kRefusedWrite);
  return OGRERR_UNSUPPORTED_OPERATION;
}

namespace {

// Every map the converter and this driver write ends with the remark "/ end of file": a file
// cut at the end of a figure reads as a whole map of fewer figures, with nothing to tell.
bool EndsAsMapsEnd(MapSource& source, const MapElement& last) {
  if (last.position == 0 || last.code != figcode::kRemark) return false;
  try {
    return IsMapsClosingLine(source.Figure(last.position, last.offset));
  } catch (...) {
    return false;  // the reading of features reports it
  }
}

}  // namespace

// No exception may reach GDAL's host program.
MllDataset* MllDataset::Open(GDALOpenInfo& info) {
  try {
    return OpenSource(info);
  } catch (...) {
    const Error e = CurrentError();
    CPLError(CE_Failure, CPLE_OpenFailed, "MLL: %s: %s", info.pszFilename, ErrorText(e).c_str());
    return nullptr;
  }
}

MllDataset* MllDataset::OpenSource(GDALOpenInfo& info) {
  const std::string path = info.pszFilename;
  VSILFILE* fp = info.fpL;
  info.fpL = nullptr;
  if (!fp) fp = VSIFOpenL(path.c_str(), "rb");
  if (!fp) {
    CPLError(CE_Failure, CPLE_OpenFailed, "MLL: cannot open the map file %s", path.c_str());
    return nullptr;
  }
  CplMessages messages;
  auto source = std::make_shared<MapSource>(std::make_unique<VsiFile>(fp), !EndsWithIgnoringCase(path, ".MXY"));

  struct Layer {
    LayerEntries entries;
    size_t refused = 0;
    Bounds extent = kNoBounds;
  };
  std::array<Layer, kLayerKinds> layers;
  static const std::array<int, 6> layerOf = LayerOfCode();
  int32_t located = 0;
  MapElement last;
  try {
    WalkMapElements(source->reader, source->version, [&](const MapElement& e) {
      last = e;
      Layer& layer = layers[static_cast<size_t>(layerOf[static_cast<size_t>(e.code)])];
      // Beyond the globe the figure is refused when read: it has no place in filters or extents.
      const bool onGlobe = !source->degrees || !e.bounded || OnTheGlobe(e.minX, e.minY, e.maxX, e.maxY);
      const bool right = e.right && onGlobe;
      const Bounds b = right && e.bounded ? Bounds{e.minX, e.minY, e.maxX, e.maxY} : kNoBounds;
      layer.entries.push_back({e.offset, b, e.position});
      layer.refused += !right;
      Include(layer.extent, b);
      located = e.position;
    });
  } catch (const Error& e) {
    if (e.Number() == err::kMapVersion || source->version == 0) {  // no header could be read
      CPLError(CE_Failure, CPLE_OpenFailed, "MLL: %s: not a map file this driver can read (%s)",
               path.c_str(), DescriptionText(e).c_str());
      return nullptr;
    }
    if (located == 0) throw;
    // What lies before the damage is read; the rest cannot even be found.
    source->unreadFrom = located + 1;
    source->unreadReason = DescriptionText(e);
    CPLError(CE_Warning, CPLE_AppDefined,
             "MLL: %s: element %d cannot be read (%s); only the %d element(s) before it are read",
             path.c_str(), source->unreadFrom, source->unreadReason.c_str(), located);
  }
  source->StartReading();
  if (source->unreadFrom == 0 && !EndsAsMapsEnd(*source, last))
    CPLError(CE_Warning, CPLE_AppDefined,
             "MLL: %s: the map does not end with the remark \"/ end of file\" that closes the maps "
             "picmap writes: it may be cut short after its %d element(s)",
             path.c_str(), located);
  std::u16string thingProblem;
  {
    const CplMessages toldBelow(true);
    source->things = ThingLookup::BesideMap(FromUtf8(path), ReadWholeFile, &thingProblem);
  }
  if (!source->things.HasThings())
    CPLError(CE_Warning, CPLE_AppDefined, "MLL: %s; thing names are empty and colours only the figures' own",
             ToUtf8(thingProblem).c_str());

  std::unique_ptr<MllDataset> ds(new MllDataset);
  ds->SetDescription(path.c_str());
  ds->eAccess = GA_ReadOnly;
  ds->askedForUpdate_ = info.eAccess == GA_Update;
  if (source->degrees) {
    ds->srs_ = new OGRSpatialReference;
    ds->srs_->importFromEPSG(4326);
    ds->srs_->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  }
  ds->SetHeaderMetadata(*source, layers[static_cast<size_t>(layerOf[figcode::kRemark])].entries);
  for (int i = 0; i < kLayerKinds; ++i) {
    Layer& layer = layers[static_cast<size_t>(i)];
    ds->layers_.push_back(std::make_unique<MllLayer>(source, LayerKindAt(i), ds->srs_,
                                                     std::move(layer.entries), layer.refused, layer.extent));
  }
  ds->SetLayerMetadata();
  return ds.release();
}

// Opened for update, the map takes the requests of ogr2ogr -update, -append and -overwrite
// for a layer, only to refuse them with the reason: ogr2ogr would otherwise just say that the
// driver cannot create layers.
int MllDataset::TestCapability(const char* cap) {
  return askedForUpdate_ && (EQUAL(cap, ODsCCreateLayer) || EQUAL(cap, ODsCDeleteLayer));
}

OGRLayer* MllDataset::ICreateLayer(const char*, OGRSpatialReference*, OGRwkbGeometryType, char**) {
  CPLError(CE_Failure, CPLE_NotSupported, "%s", kRefusedWrite);
  return nullptr;
}

OGRErr MllDataset::DeleteLayer(int) {
  CPLError(CE_Failure, CPLE_NotSupported, "%s", kRefusedWrite);
  return OGRERR_UNSUPPORTED_OPERATION;
}

MllDataset::~MllDataset() {
  layers_.clear();
  if (srs_) srs_->Release();
}

OGRLayer* MllDataset::GetLayer(int i) {
  return i >= 0 && i < GetLayerCount() ? layers_[static_cast<size_t>(i)].get() : nullptr;
}

// The remarks before the first figure with geometry; the first line of a key wins. The lines
// with a value also make a text in file order, for the layers.
void MllDataset::SetHeaderMetadata(MapSource& source, const LayerEntries& remarks) {
  for (size_t i = 0; i < remarks.size(); ++i) {
    if (remarks[i].position != static_cast<int32_t>(i) + 1) break;
    const clsMapFigure* figure;
    try {
      figure = &source.Figure(remarks[i].position, remarks[i].offset);
    } catch (const Error&) {
      continue;  // the remarks layer reports it
    }
    const auto& rem = static_cast<const clsMapRem&>(*figure);
    const std::string key = ToUtf8(rem.Key());
    if (key.empty() || GetMetadataItem(key.c_str())) continue;
    const std::string value = ToUtf8(rem.Value());
    SetMetadataItem(key.c_str(), value.c_str());
    if (value.empty()) continue;
    if (!headerText_.empty()) headerText_ += '\n';
    headerText_ += key + ": " + value;
  }
  // Named for a translation to another map file, which keeps this map's things. The name is
  // made absolute: carried over in another format's metadata, a relative one would be looked up
  // from wherever the next translation runs, and find another map's thing file or none.
  for (const char* ext : {"THG", "thg"}) {
    std::string thg = CPLResetExtension(GetDescription(), ext);
    VSIStatBufL stat;
    if (VSIStatL(thg.c_str(), &stat) != 0) continue;
    if (CPLIsFilenameRelative(thg.c_str()) && !STARTS_WITH(thg.c_str(), "/vsi"))
      if (char* here = CPLGetCurrentDir()) {
        thg = CPLFormFilename(here, thg.c_str(), nullptr);
        CPLFree(here);
      }
    SetMetadataItem(kThingFileItem, thg.c_str());
    break;
  }
}

// The header lines on every layer too: QGIS shows a layer's metadata, and its DESCRIPTION as
// the layer's abstract, but not the metadata of the file.
void MllDataset::SetLayerMetadata() {
  for (const auto& layer : layers_) {
    layer->SetMetadata(GetMetadata());
    if (!headerText_.empty()) layer->SetMetadataItem("DESCRIPTION", headerText_.c_str());
  }
}

}  // namespace picmap::ogr
