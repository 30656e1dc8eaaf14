// Reading a map file through OGR: the dataset holds the loaded map and the thing file beside
// it; its five layers hand out the figures of one kind each.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "map/clsMap.h"
#include "ogr/mll_features.h"
#include "things/thing_lookup.h"

namespace picmap::ogr {

// The loaded map the layers share.
struct MapSource {
  clsMap map;
  ThingLookup things;
  bool degrees = true;
};

class MllLayer final : public OGRLayer {
 public:
  MllLayer(std::shared_ptr<const MapSource> source, const LayerKind& kind, OGRSpatialReference* srs);
  ~MllLayer() override;

  void ResetReading() override { next_ = 0; }
  OGRFeature* GetNextFeature() override;
  OGRFeature* GetFeature(GIntBig fid) override;
  OGRFeatureDefn* GetLayerDefn() override { return defn_; }
  GIntBig GetFeatureCount(int force) override;
  OGRErr GetExtent(OGREnvelope* extent, int force) override;
  OGRErr GetExtent(int geomField, OGREnvelope* extent, int force) override {
    return OGRLayer::GetExtent(geomField, extent, force);
  }
  int TestCapability(const char* cap) override;

 private:
  bool PassesEnvelope(const clsMapFigure& figure) const;
  OGRFeature* Make(int32_t index) const;

  std::shared_ptr<const MapSource> source_;
  const LayerKind& kind_;
  OGRFeatureDefn* defn_;
  std::vector<int32_t> indexes_;  // 1-based positions of this layer's figures in the map
  size_t next_ = 0;
};

class MllDataset final : public GDALDataset {
 public:
  // Null after a reported failure.
  static MllDataset* Open(const std::string& path);
  ~MllDataset() override;

  int GetLayerCount() override { return static_cast<int>(layers_.size()); }
  OGRLayer* GetLayer(int i) override;
  int TestCapability(const char*) override { return FALSE; }

 private:
  MllDataset() = default;
  void SetHeaderMetadata(const clsMap& map);

  std::vector<std::unique_ptr<MllLayer>> layers_;
  OGRSpatialReference* srs_ = nullptr;
};

}  // namespace picmap::ogr
