// Reading a map file through OGR. Opening walks the file once and keeps, per kind of figure,
// where each element lies and what it covers; a feature is read from the file when GDAL asks
// for it, so a map of a million figures opens in the time of one pass over its bytes and
// holds a few dozen bytes per figure. Everything is read through GDAL's file layer, so maps
// inside zips, in memory or on web servers open too.
#pragma once

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "ogr/bounds_index.h"
#include "ogr/layer_entries.h"
#include "ogr/mll_features.h"
#include "support/binfile.h"
#include "things/thing_lookup.h"

namespace picmap {
class clsMapFigure;
class MapElementReader;
}

namespace picmap::ogr {

// The open map file the layers share.
class MapSource {
 public:
  MapSource(std::unique_ptr<ByteSource> file, bool degrees);
  ~MapSource();

  // Called once the walk has found the version.
  void StartReading();
  // The figure of the element, valid until the next call; raises the map library's error for
  // one it cannot read.
  const clsMapFigure& Figure(int32_t position, int64_t offset);

  BinaryReader reader;
  int16_t version = 0;
  bool degrees;
  ThingLookup things;
  FeatureCache features{things};
  // Set when the walk stopped before the end of the file: the elements from `unreadFrom` on
  // are unknown, for the reason given.
  int32_t unreadFrom = 0;
  std::string unreadReason;

 private:
  // Where the identifiers of figures without one of their own come from (files before 1.06).
  std::minstd_rand ids_;
  int64_t openedAt_;
  std::unique_ptr<MapElementReader> elements_;
};

class MllLayer final : public OGRLayer {
 public:
  MllLayer(std::shared_ptr<MapSource> source, const LayerKind& kind, OGRSpatialReference* srs,
           LayerEntries entries, size_t refused, const Bounds& extent);
  ~MllLayer() override;

  void ResetReading() override;
  OGRFeature* GetNextFeature() override;
  OGRFeature* GetFeature(GIntBig fid) override;
  OGRFeatureDefn* GetLayerDefn() override { return defn_; }
  GIntBig GetFeatureCount(int force) override;
  OGRErr GetExtent(OGREnvelope* extent, int force) override;
  OGRErr GetExtent(int geomField, OGREnvelope* extent, int force) override {
    return OGRLayer::GetExtent(geomField, extent, force);
  }
  int TestCapability(const char* cap) override;
  OGRErr DeleteFeature(GIntBig fid) override;

 protected:
  OGRErr ISetFeature(OGRFeature* feature) override;
  OGRErr ICreateFeature(OGRFeature* feature) override;

 private:
  OGRFeature* Make(size_t entry);
  // The entries a spatial filter leaves, for the filter now installed.
  const std::vector<uint32_t>& Candidates();
  void ReportUnreadTail();

  std::shared_ptr<MapSource> source_;
  const LayerKind& kind_;
  OGRFeatureDefn* defn_;
  const LayerEntries entries_;
  const size_t refused_;  // entries that are no features
  const Bounds extent_;
  std::unique_ptr<BoundsIndex> index_;  // built by the second spatial filter
  std::vector<uint32_t> candidates_;
  std::optional<OGREnvelope> candidatesFor_;
  size_t next_ = 0;
  bool tailReported_ = false;
};

class MllDataset final : public GDALDataset {
 public:
  // Null after a reported failure.
  static MllDataset* Open(GDALOpenInfo& info);
  ~MllDataset() override;

  int GetLayerCount() override { return static_cast<int>(layers_.size()); }
  OGRLayer* GetLayer(int i) override;
  int TestCapability(const char* cap) override;
  OGRErr DeleteLayer(int layer) override;

 protected:
  OGRLayer* ICreateLayer(const char* name, OGRSpatialReference* srs, OGRwkbGeometryType type,
                         char** options) override;

 private:
  MllDataset() = default;
  static MllDataset* OpenSource(GDALOpenInfo& info);
  void SetHeaderMetadata(MapSource& source, const LayerEntries& remarks);
  void SetLayerMetadata();

  std::vector<std::unique_ptr<MllLayer>> layers_;
  OGRSpatialReference* srs_ = nullptr;
  std::string headerText_;  // "key: value" lines of the header
  bool askedForUpdate_ = false;
};

}  // namespace picmap::ogr
