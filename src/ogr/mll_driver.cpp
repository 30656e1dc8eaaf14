#include "ogr/mll_driver.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include <gdal_priv.h>

#include "ogr/mll_dataset.h"
#include "ogr/mll_writer.h"

namespace picmap::ogr {

namespace {

constexpr char kHeaderMark[] = "Map File Version";
// A version 0.99 map has no header: it starts with a remark (code 1, administrator 0, six
// characters) whose comment is the projection remark, in code page 932.
constexpr unsigned char kOldestMapStart[] = {0x01, 0x00, 0x00, 0x00, 0x06, 0x00, '[', 0x93, 0x8A,
                                             0x89, 0x65, 0x8F, 0xF0, 0x8C, 0x8F, ']'};
// The version remark is the first element; its text lies well within the first bytes.
constexpr int kHeaderProbe = 64;

bool HasMapExtension(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot && (EQUAL(dot, ".MLL") || EQUAL(dot, ".MXY"));
}

bool HasHeaderMark(const char* bytes, int n) {
  if (n >= static_cast<int>(sizeof kOldestMapStart) &&
      std::memcmp(bytes, kOldestMapStart, sizeof kOldestMapStart) == 0)
    return true;
  const size_t mark = std::strlen(kHeaderMark);
  for (int i = 0; i + static_cast<int>(mark) <= std::min(n, kHeaderProbe); ++i)
    if (std::memcmp(bytes + i, kHeaderMark, mark) == 0) return true;
  return false;
}

// By content: the extension only tells a longitude/latitude map from an x/y one. A file named
// as a map that is none (empty, cut or something else) is taken all the same, so that opening
// it says why it cannot be read instead of GDAL's bare "not recognized". A map GDAL could not
// open for update (a read-only file) is looked at all the same: it opens read-only.
int Identify(GDALOpenInfo* info) {
  if (info->fpL)
    return HasHeaderMark(reinterpret_cast<const char*>(info->pabyHeader), info->nHeaderBytes) ||
           HasMapExtension(info->pszFilename);
  if (info->eAccess != GA_Update || !info->bStatOK || info->bIsDirectory) return FALSE;
  VSILFILE* fp = VSIFOpenL(info->pszFilename, "rb");
  if (!fp) return FALSE;
  char bytes[kHeaderProbe];
  const auto n = static_cast<int>(VSIFReadL(bytes, 1, sizeof bytes, fp));
  VSIFCloseL(fp);
  return HasHeaderMark(bytes, n) || HasMapExtension(info->pszFilename);
}

// GDAL deletes an existing file before it asks a driver to create one under its name. A map is
// never deleted that way: the writer keeps it under its backup name when the new one is whole,
// and a failed write leaves it where it was. So a delete is only noted; the creation that
// follows takes the note back, and a delete that no creation follows is carried out at the
// driver's next call or when the process ends.
std::mutex gDeletesGuard;
std::set<std::string> gPendingDeletes;

void CarryOutPendingDeletes() {
  std::lock_guard<std::mutex> hold(gDeletesGuard);
  for (const std::string& name : gPendingDeletes) {
    VSIUnlink(name.c_str());
  }
  gPendingDeletes.clear();
}

CPLErr Delete(const char* name) {
  CarryOutPendingDeletes();
  VSIStatBufL stat;
  if (VSIStatL(name, &stat) != 0) {
    CPLError(CE_Failure, CPLE_FileIO, "MLL: %s does not exist", name);
    return CE_Failure;
  }
  // Carried out when the process ends or the driver is unloaded, if nothing came before.
  static const struct AtEnd {
    ~AtEnd() { CarryOutPendingDeletes(); }
  } atEnd;
  (void)atEnd;
  std::lock_guard<std::mutex> hold(gDeletesGuard);
  gPendingDeletes.insert(name);
  return CE_None;
}

// True when `name` was noted for deletion just before this creation.
bool TakeBackDelete(const char* name) {
  std::lock_guard<std::mutex> hold(gDeletesGuard);
  return gPendingDeletes.erase(name) > 0;
}

// GIS programs open a file for update before they know whether they will change it (QGIS
// always does): the map opens read-only all the same, and its layers refuse changes.
GDALDataset* Open(GDALOpenInfo* info) {
  if (!Identify(info)) return nullptr;
  CarryOutPendingDeletes();
  return MllDataset::Open(*info);
}

GDALDataset* Create(const char* name, int, int, int bands, GDALDataType, char** options) {
  TakeBackDelete(name);
  CarryOutPendingDeletes();
  if (bands != 0) {
    CPLError(CE_Failure, CPLE_NotSupported, "MLL: a map file holds vector data only");
    return nullptr;
  }
  if (!HasMapExtension(name)) {
    CPLError(CE_Failure, CPLE_NotSupported, "MLL: the file name must end in .MLL or .MXY: %s", name);
    return nullptr;
  }
  return MllWriterDataset::Create(name, options);
}

}  // namespace

void RegisterMllDriver() {
  if (GDALGetDriverByName("MLL") != nullptr) return;
  auto* driver = new GDALDriver;
  driver->SetDescription("MLL");
  driver->SetMetadataItem(GDAL_DCAP_VECTOR, "YES");
  driver->SetMetadataItem(GDAL_DMD_LONGNAME, "picmap longitude/latitude map");
  driver->SetMetadataItem(GDAL_DMD_EXTENSIONS, "MLL MXY");
  driver->SetMetadataItem(GDAL_DCAP_VIRTUALIO, "YES");
  driver->SetMetadataItem(GDAL_DCAP_CREATE, "YES");
  driver->SetMetadataItem(GDAL_DMD_CREATIONFIELDDATATYPES, "Integer Integer64 Real String Date DateTime");
  driver->SetMetadataItem(
      GDAL_DMD_CREATIONOPTIONLIST,
      "<CreationOptionList>"
      "<Option name='VERSION' type='string-select' description='map file version' default='106'>"
      "<Value>104</Value><Value>105</Value><Value>106</Value></Option>"
      "<Option name='THINGS' type='string' description='template thing file written beside the map'/>"
      "<Option name='QML' type='boolean' description='write NAME.qml, the style QGIS opens the "
      "map in (its own colours)' default='YES'/>"
      "</CreationOptionList>");
  driver->SetMetadataItem(GDAL_DS_LAYER_CREATIONOPTIONLIST, "<LayerCreationOptionList/>");
  driver->pfnIdentify = Identify;
  driver->pfnOpen = Open;
  driver->pfnCreate = Create;
  driver->pfnDelete = Delete;
  GetGDALDriverManager()->RegisterDriver(driver);
}

}  // namespace picmap::ogr
