// Writing a map file through OGR (ogr2ogr -f MLL): every layer's features become figures of
// one map, which is written with the converter's header, and the template thing file is
// written beside it, when the dataset is closed.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include "map/clsMap.h"

namespace picmap {
class clsThings;
}

namespace picmap::ogr {

class MllWriterDataset;

// What a layer's features held that no figure can: told once per layer, with counts.
struct LayerLosses {
  int64_t noGeometry = 0;
  int64_t emptyGeometries = 0;
  int64_t shortLines = 0;     // lines of fewer than two points (on the arc-second grid)
  int64_t shortPolygons = 0;  // rings of fewer than four points
  int64_t noArea = 0;         // polygons without area (on the arc-second grid, or repaired into lines)
  int64_t badColours = 0;     // colour texts that are not #RRGGBB
  int64_t alphaColours = 0;   // #RRGGBBAA: the map keeps no transparency
  int64_t repaired = 0;       // invalid polygons made valid before they were stored
  int64_t heights = 0;        // Z or M values: a map's points are longitude and latitude alone
  int64_t alteredTexts = 0;   // texts whose characters the map's text encodings cannot hold
  int64_t unplacedTexts = 0;  // texts of lines and polygons: only a point is a text figure
  // Integer fields whose text is no whole number in range, by field name, and the position in
  // the layer of the first feature that held one.
  std::map<std::string, int64_t> ignoredValues;
  int64_t firstIgnoredAt = 0;
  int64_t current = 0;  // the position of the feature being written
  std::string Describe() const;
};

class MllWriterLayer final : public OGRLayer {
 public:
  MllWriterLayer(MllWriterDataset& owner, const char* name, OGRwkbGeometryType type);
  ~MllWriterLayer() override;

  void ResetReading() override {}
  OGRFeature* GetNextFeature() override { return nullptr; }
  OGRFeatureDefn* GetLayerDefn() override { return defn_; }
  int TestCapability(const char* cap) override;
  OGRErr CreateField(OGRFieldDefn* field, int approxOk) override;
  OGRErr ICreateFeature(OGRFeature* feature) override;
  // What the layer's features held that the map does not: empty when nothing.
  std::string Describe() const;

 private:
  MllWriterDataset& owner_;
  OGRFeatureDefn* defn_;
  GIntBig written_ = 0;
  LayerLosses losses_;
};

class MllWriterDataset final : public GDALDataset {
 public:
  // Null after a reported failure (no template thing file, a bad creation option).
  static MllWriterDataset* Create(const std::string& path, CSLConstList options);
  ~MllWriterDataset() override;

  int GetLayerCount() override { return static_cast<int>(layers_.size()); }
  OGRLayer* GetLayer(int i) override;
  int TestCapability(const char* cap) override;
  OGRErr StartTransaction(int force) override;
  OGRErr CommitTransaction() override;
  OGRErr RollbackTransaction() override;
  OGRLayer* ICreateLayer(const char* name, OGRSpatialReference* srs, OGRwkbGeometryType type,
                         char** options) override;

  // The figures of one feature; false after reporting why the feature cannot be stored.
  // `number` names the feature in messages when it has no FID of its own.
  bool AddFeature(OGRFeature& feature, const std::string& layerName, GIntBig number,
                  LayerLosses& losses);

 private:
  MllWriterDataset() = default;
  bool Write();
  bool Stopped() const;
  bool CanWriteHere() const;
  static bool AcceptedOnPlane(const char* name, const OGRSpatialReference& srs);
  void TellWhatTheVersionLost(const clsMap& map) const;
  std::vector<std::u16string> HeaderLines(const std::u16string& base);
  void TakeTheSourcesThings();
  void TellThingsNotDefined() const;

  std::string path_;
  int16_t version_ = 106;
  bool qgisStyle_ = true;     // NAME.qml beside the map, QGIS's default style for its layers
  bool thingsGiven_ = false;  // THINGS= named the template
  bool degrees_ = true;
  int16_t defaultThing_ = 0;
  std::shared_ptr<clsThings> things_;
  std::vector<std::shared_ptr<clsMapFigure>> figures_;
  std::vector<std::unique_ptr<MllWriterLayer>> layers_;
  int64_t refused_ = 0;  // features that could not be stored
  bool written_ = false;
  size_t transactionStart_ = 0;
  bool inTransaction_ = false;
  bool stopped_ = false;  // a rollback took back stored features
  std::vector<std::string> refusedLayers_;  // layers whose CRS a map cannot hold
};

// The template thing file the writer copies beside the map: the THINGS creation option, else
// the one beside the programs in the build tree, else the installed one. Empty when none exists.
std::string TemplateThingFile(CSLConstList options);

}  // namespace picmap::ogr
