"""One measured job of bench/driver_ratios.sh, run in a process of its own: prints the
seconds the job took inside the process and the number of features it saw.

  driver_probe.py all DATASET                 every feature of every layer
  driver_probe.py box DATASET W S E N         the features a spatial filter keeps
"""
import sys
import time

from osgeo import gdal, ogr

gdal.UseExceptions()


def main():
    job, path = sys.argv[1], sys.argv[2]
    ds = ogr.Open(path)
    start = time.perf_counter()
    seen = 0
    for i in range(ds.GetLayerCount()):
        layer = ds.GetLayer(i)
        if job == "box":
            if layer.GetGeomType() == ogr.wkbNone:
                continue
            layer.SetSpatialFilterRect(*map(float, sys.argv[3:7]))
        for _ in layer:
            seen += 1
    print(f"{time.perf_counter() - start:.4f} {seen}")


main()
