#include "ogr/dissolve.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "ogr/outline_tracer.h"

namespace picmap::ogr {

namespace {

constexpr const char* kKeptFields[] = {"thing", "thing_name", "category", "category_name", "color"};

// The figures of one colour and thing, and one of them for the attributes.
struct Group {
  std::unique_ptr<OGRFeature> sample;
  OGRMultiPolygon parts;
};

using GroupKey = std::pair<std::string, int>;

std::map<GroupKey, Group> GroupByColourAndThing(OGRLayer& polygons, DissolveCounts& counts) {
  std::map<GroupKey, Group> groups;
  polygons.ResetReading();
  for (auto& f : polygons) {
    OGRGeometry* g = f->StealGeometry();
    if (!g) continue;
    ++counts.figures;
    Group& group = groups[{f->GetFieldAsString("color"), f->GetFieldAsInteger("thing")}];
    if (!group.sample) group.sample.reset(f->Clone());
    group.parts.addGeometryDirectly(g);
  }
  return groups;
}

OGRLayer* CreateRegionLayer(GDALDataset& target, OGRLayer& polygons) {
  OGRLayer* layer = target.CreateLayer("polygons", polygons.GetSpatialRef(), wkbPolygon);
  if (!layer) return nullptr;
  OGRFeatureDefn* source = polygons.GetLayerDefn();
  for (const char* name : kKeptFields) {
    const int i = source->GetFieldIndex(name);
    if (i >= 0 && layer->CreateField(source->GetFieldDefn(i)) != OGRERR_NONE) return nullptr;
  }
  return layer;
}

std::vector<std::unique_ptr<OGRPolygon>> GeosRegions(const OGRMultiPolygon& parts) {
  std::vector<std::unique_ptr<OGRPolygon>> regions;
  std::unique_ptr<OGRGeometry> merged(parts.UnionCascaded());
  if (!merged) return regions;
  const OGRwkbGeometryType type = wkbFlatten(merged->getGeometryType());
  if (type == wkbPolygon) {
    regions.emplace_back(merged.release()->toPolygon());
  } else if (type == wkbMultiPolygon) {
    for (const OGRPolygon* part : *merged->toMultiPolygon()) regions.emplace_back(part->clone());
  }
  return regions;
}

bool WriteRegion(OGRLayer& layer, const Group& group, OGRGeometry* region) {
  OGRFeature f(layer.GetLayerDefn());
  for (const char* name : kKeptFields) {
    const int i = group.sample->GetFieldIndex(name);
    if (i >= 0 && group.sample->IsFieldSetAndNotNull(i)) f.SetField(name, group.sample->GetRawFieldRef(i));
  }
  f.SetStyleString(group.sample->GetStyleString());
  f.SetGeometryDirectly(region);
  return layer.CreateFeature(&f) == OGRERR_NONE;
}

}  // namespace

std::vector<std::unique_ptr<OGRPolygon>> Regions(const OGRMultiPolygon& parts, UnionMethod method) {
  std::vector<Box> boxes;
  if (method == UnionMethod::Outline) {
    boxes.reserve(parts.getNumGeometries());
    for (const OGRPolygon* part : parts) {
      if (!AsBox(*part, boxes.emplace_back())) return GeosRegions(parts);
    }
    return TraceUnion(boxes);
  }
  return GeosRegions(parts);
}

OGRLayer* DissolvePolygons(OGRLayer& polygons, GDALDataset& target, DissolveCounts* counts,
                           UnionMethod method) {
  DissolveCounts local;
  DissolveCounts& c = counts ? *counts : local;
  OGRLayer* layer = CreateRegionLayer(target, polygons);
  if (!layer) return nullptr;
  for (auto& [key, group] : GroupByColourAndThing(polygons, c)) {
    for (auto& region : Regions(group.parts, method)) {
      ++c.regions;
      if (!WriteRegion(*layer, group, region.release())) return nullptr;
    }
  }
  return layer;
}

}  // namespace picmap::ogr
