#include "ogr/mll_dataset.h"

#include <cpl_string.h>

#include "map/clsMapRem.h"
#include "ogr/cpl_messages.h"
#include "support/errors.h"
#include "support/figcodes.h"
#include "support/text.h"

namespace picmap::ogr {

namespace {

bool EndsWithIgnoringCase(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && EQUAL(s.c_str() + s.size() - n, tail);
}

// Loads the map; false after reporting why it could not be read.
bool LoadMap(MapSource& source, const std::string& path) {
  CplMessages messages;
  if (EndsWithIgnoringCase(path, ".MXY")) source.map.MapMode(2);
  source.degrees = source.map.MapMode() == 1;
  source.map.AssignFileName(FromUtf8(path));
  try {
    if (source.map.Load() == 0) return true;
    CPLError(CE_Failure, CPLE_OpenFailed, "MLL: cannot read the map file %s", path.c_str());
  } catch (const Error& e) {
    CPLError(CE_Failure, CPLE_OpenFailed, "MLL: %s: error %d in %s: %s", path.c_str(),
             e.Number(), ToUtf8(e.Source()).c_str(), ToUtf8(e.Description()).c_str());
  }
  return false;
}

}  // namespace

MllLayer::MllLayer(std::shared_ptr<const MapSource> source, const LayerKind& kind,
                   OGRSpatialReference* srs)
    : source_(std::move(source)), kind_(kind), defn_(NewLayerDefinition(kind, srs)) {
  defn_->Reference();
  SetDescription(kind.name);
  int32_t index = 0;
  for (const auto& figure : source_->map) {
    ++index;
    if (figure->FigCode() == kind.figCode) indexes_.push_back(index);
  }
}

MllLayer::~MllLayer() { defn_->Release(); }

// A figure that cannot be read (a damaged file) is an error for its feature alone: GDAL's
// host program must never see an exception.
OGRFeature* MllLayer::Make(int32_t index) const {
  try {
    const FeatureContext context{&source_->things, source_->degrees};
    return FeatureOf(*source_->map.Item(index), index, defn_, context);
  } catch (...) {
    const Error e = CurrentError();
    CPLError(CE_Failure, CPLE_AppDefined, "MLL: feature %d of layer %s cannot be read and is left out: %s",
             index, defn_->GetName(), ToUtf8(e.Description()).c_str());
    return nullptr;
  }
}

// A cheap test on the figure's bounds before the feature is made and tested exactly.
bool MllLayer::PassesEnvelope(const clsMapFigure& figure) const {
  if (!m_poFilterGeom) return true;
  OGREnvelope env;
  return FigureEnvelope(figure, source_->degrees, env) && env.Intersects(m_sFilterEnvelope);
}

OGRFeature* MllLayer::GetNextFeature() {
  while (next_ < indexes_.size()) {
    const int32_t index = indexes_[next_++];
    if (!PassesEnvelope(*source_->map.Item(index))) continue;
    OGRFeature* f = Make(index);
    if (!f) continue;
    if ((!m_poFilterGeom || FilterGeometry(f->GetGeometryRef())) &&
        (!m_poAttrQuery || m_poAttrQuery->Evaluate(f)))
      return f;
    delete f;
  }
  return nullptr;
}

OGRFeature* MllLayer::GetFeature(GIntBig fid) {
  if (fid < 1 || fid > source_->map.Count()) return nullptr;
  const auto index = static_cast<int32_t>(fid);
  if (source_->map.FigCode(index) != kind_.figCode) return nullptr;
  return Make(index);
}

GIntBig MllLayer::GetFeatureCount(int force) {
  if (!m_poFilterGeom && !m_poAttrQuery) return static_cast<GIntBig>(indexes_.size());
  return OGRLayer::GetFeatureCount(force);
}

OGRErr MllLayer::GetExtent(OGREnvelope* extent, int) {
  bool any = false;
  for (int32_t index : indexes_) {
    OGREnvelope env;
    if (!FigureEnvelope(*source_->map.Item(index), source_->degrees, env)) continue;
    if (any) extent->Merge(env);
    else *extent = env;
    any = true;
  }
  return any ? OGRERR_NONE : OGRERR_FAILURE;
}

int MllLayer::TestCapability(const char* cap) {
  if (EQUAL(cap, OLCRandomRead) || EQUAL(cap, OLCStringsAsUTF8)) return TRUE;
  if (EQUAL(cap, OLCFastFeatureCount)) return !m_poFilterGeom && !m_poAttrQuery;
  if (EQUAL(cap, OLCFastGetExtent)) return kind_.geometry != wkbNone;
  if (EQUAL(cap, OLCFastSpatialFilter)) return FALSE;
  return FALSE;
}

MllDataset* MllDataset::Open(const std::string& path) {
  auto source = std::make_shared<MapSource>();
  if (!LoadMap(*source, path)) return nullptr;
  auto* ds = new MllDataset;
  if (source->map.MapMode() == 1) {
    ds->srs_ = new OGRSpatialReference;
    ds->srs_->importFromEPSG(4326);
    ds->srs_->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  }
  source->things = ThingLookup::BesideMap(source->map.FileName());
  ds->SetDescription(path.c_str());
  ds->SetHeaderMetadata(source->map);
  for (int i = 0; i < kLayerKinds; ++i)
    ds->layers_.push_back(std::make_unique<MllLayer>(source, LayerKindAt(i), ds->srs_));
  return ds;
}

MllDataset::~MllDataset() {
  layers_.clear();
  if (srs_) srs_->Release();
}

OGRLayer* MllDataset::GetLayer(int i) {
  return i >= 0 && i < GetLayerCount() ? layers_[i].get() : nullptr;
}

// The remarks before the first figure with geometry; the first line of a key wins.
void MllDataset::SetHeaderMetadata(const clsMap& map) {
  for (const auto& figure : map) {
    if (figure->FigCode() != figcode::kRemark) break;
    const auto& rem = static_cast<const clsMapRem&>(*figure);
    const std::string key = ToUtf8(rem.Key());
    if (key.empty() || GetMetadataItem(key.c_str())) continue;
    SetMetadataItem(key.c_str(), ToUtf8(rem.Value()).c_str());
  }
}

}  // namespace picmap::ogr
