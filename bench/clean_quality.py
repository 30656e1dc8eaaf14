"""The clean-up's figures on a damaged map picture: the clean picture's regions against the
map's, the share of clean pixel centres inside a region of their clean colour, the figures,
and the map's size against the rectangle map's.

Usage: clean_quality.py make CLEAN.png DAMAGED.jpg SIZE REGIONS COLOURS LAKES
       clean_quality.py damage CLEAN.png DAMAGED.jpg      (prints the clean picture's colours)
       clean_quality.py check CLEAN.png REGION_MAP RECTANGLE_MAP"""
import os
import sys

import numpy as np
from osgeo import gdal, ogr

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "ogr"))
import damaged_map  # noqa: E402

gdal.UseExceptions()


def make(clean_path, damaged_path, size, regions, colours, lakes):
    clean = damaged_map.clean_map(int(size), int(regions), int(colours), seed=5, lakes=int(lakes))
    damaged_map.save_png(clean, clean_path)
    damaged_map.save_jpeg(damaged_map.damaged(clean), damaged_path)


def read_rgb(path):
    ds = gdal.Open(path)
    if ds.RasterCount == 1:  # a palette picture
        table = ds.GetRasterBand(1).GetColorTable()
        lut = np.array([table.GetColorEntry(i)[:3] for i in range(table.GetCount())], dtype=np.uint8)
        return lut[ds.ReadAsArray()]
    return ds.ReadAsArray()[:3].transpose(1, 2, 0)


def damage(clean_path, damaged_path):
    clean = read_rgb(clean_path)
    damaged_map.save_jpeg(damaged_map.damaged(clean), damaged_path)
    print(len(np.unique(clean.reshape(-1, 3), axis=0)))


def check(clean_path, region_map, rectangle_map):
    clean = read_rgb(clean_path)
    h, w, _ = clean.shape
    palette = np.unique(clean.reshape(-1, 3), axis=0).astype(int)
    dataset = ogr.Open(region_map)
    layer = dataset.GetLayerByName("polygons")
    mem = ogr.GetDriverByName("Memory").CreateDataSource("")
    mem_layer = mem.CreateLayer("r")
    mem_layer.CreateField(ogr.FieldDefn("k", ogr.OFTInteger))
    n = 0
    for f in layer:
        hexc = f.GetField("color")
        rgb = np.array([int(hexc[i:i + 2], 16) for i in (1, 3, 5)])
        g = ogr.Feature(mem_layer.GetLayerDefn())
        g.SetField("k", int(np.abs(palette - rgb).sum(axis=1).argmin()))
        g.SetGeometry(f.GetGeometryRef().MakeValid())
        mem_layer.CreateFeature(g)
        n += 1
    raster = gdal.GetDriverByName("MEM").Create("", w, h, 1, gdal.GDT_Int16)
    raster.SetGeoTransform([-180, 360 / w, 0, 90, 0, -180 / h])
    raster.GetRasterBand(1).Fill(-1)
    gdal.RasterizeLayer(raster, [1], mem_layer, options=["ATTRIBUTE=k"])
    mapped = raster.GetRasterBand(1).ReadAsArray()
    index = np.full((h, w), -2)
    for k, rgb in enumerate(palette):
        index[(clean == rgb).all(axis=2)] = k
    sizes = [a for _, a in damaged_map.region_sizes(clean)]
    clean_regions, kept = len(sizes), sum(a >= 3 for a in sizes)
    print(f"clean regions {clean_regions}, map regions {n} ({100 * (n - clean_regions) / clean_regions:+.1f}%); "
          f"of 3 pixels and more (27 after the 3x upscale, what a sieve of 20 keeps) {kept} "
          f"({100 * (n - kept) / kept:+.1f}%)")
    print(f"clean pixel centres in a region of their colour: {100 * (mapped == index).mean():.2f}%")
    # Colours a JPEG cannot tell apart (no channel 8 steps off) count as one.
    alike = np.abs(palette[:, None, :] - palette[None, :, :]).max(axis=2) <= 8
    same = alike[np.maximum(mapped, 0), np.maximum(index, 0)] & (mapped >= 0) & (index >= 0)
    print(f"... counting colours no channel 8 steps apart as one: {100 * same.mean():.2f}%")
    print(f"map file {os.path.getsize(region_map)} bytes = "
          f"{100 * os.path.getsize(region_map) / os.path.getsize(rectangle_map):.2f}% of the rectangle map's")


if __name__ == "__main__":
    {"make": make, "damage": damage, "check": check}[sys.argv[1]](*sys.argv[2:])
