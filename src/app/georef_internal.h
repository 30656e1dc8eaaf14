// What the georeferencing files share and nothing else needs.
#pragma once

#include <cpl_error.h>

#include <string>

namespace picmap {

// GDAL's drivers, registered once per process before the first raster is opened.
void EnsureGdalRegistered();

// Keeps GDAL's own messages off the terminal while it lives; the caller reports in its words.
// The last message GDAL raised meanwhile is kept for the report.
class QuietGdalErrors {
 public:
  QuietGdalErrors();
  ~QuietGdalErrors();
  QuietGdalErrors(const QuietGdalErrors&) = delete;
  QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
  const std::string& LastMessage() const { return last_; }

 private:
  static void CPL_STDCALL Keep(CPLErr level, CPLErrorNum number, const char* message);
  std::string last_;
};

}  // namespace picmap
