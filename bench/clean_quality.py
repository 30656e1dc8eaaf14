"""The clean-up's figures on a damaged map picture: the clean picture's regions against the
map's, the share of clean pixel centres inside a region of their clean colour, the figures,
and the map's size against the rectangle map's.

Usage: clean_quality.py make CLEAN.png DAMAGED.jpg SIZE REGIONS COLOURS LAKES
       clean_quality.py damage CLEAN.png DAMAGED.jpg      (prints the clean picture's colours)
       clean_quality.py check CLEAN.png REGION_MAP RECTANGLE_MAP
       clean_quality.py summary CHECKS.txt   (the check reports of several maps, one after another)"""
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


def rasterized(layer, w, h, option):
    raster = gdal.GetDriverByName("MEM").Create("", w, h, 1, gdal.GDT_Int32)
    raster.SetGeoTransform([-180, 360 / w, 0, 90, 0, -180 / h])
    raster.GetRasterBand(1).Fill(-1)
    gdal.PushErrorHandler("CPLQuietErrorHandler")  # neither side has a CRS: both are pixels
    gdal.RasterizeLayer(raster, [1], layer, options=[option])
    gdal.PopErrorHandler()
    return raster.GetRasterBand(1).ReadAsArray()


def kept_labels(clean):
    """Each pixel's 4-connected clean region, numbered; -1 in regions under 3 pixels."""
    h, w, _ = clean.shape
    code = (clean[..., 0].astype(np.int32) << 16) | (clean[..., 1].astype(np.int32) << 8) | clean[..., 2]
    ds = gdal.GetDriverByName("MEM").Create("", w, h, 1, gdal.GDT_Int32)
    ds.SetGeoTransform([-180, 360 / w, 0, 90, 0, -180 / h])
    ds.GetRasterBand(1).WriteArray(code)
    mem = ogr.GetDriverByName("Memory").CreateDataSource("")
    layer = mem.CreateLayer("c")
    layer.CreateField(ogr.FieldDefn("v", ogr.OFTInteger))
    gdal.Polygonize(ds.GetRasterBand(1), None, layer, 0)
    pixel = (360 / w) * (180 / h)
    for i, f in enumerate(list(layer)):
        f.SetField("v", i if f.GetGeometryRef().GetArea() >= 2.5 * pixel else -1)
        layer.SetFeature(f)
    return rasterized(layer, w, h, "ATTRIBUTE=v")


def alike_colours(palette):
    """Which clean colours a JPEG cannot tell apart (no channel 8 steps off) count as one."""
    return np.abs(palette[:, None, :] - palette[None, :, :]).max(axis=2) <= 8


def drawn_regions(clean):
    """The clean regions as a map draws them, of 3 pixels and more: areas 4-connected (as regions
    are traced), thin lines 8-connected (a one-pixel border drawn as a staircase is one line, and
    no area crosses it at a step), colours no channel 8 steps apart as one."""
    palette, index = np.unique(clean.reshape(-1, 3), axis=0, return_inverse=True)
    index = index.reshape(clean.shape[:2])
    alike = alike_colours(palette.astype(int))
    group = np.arange(len(palette))
    for i in range(len(palette)):  # each colour joins the group of the first colour alike it
        group[i] = group[np.argmax(alike[i])]
    group = group[index]
    inner = np.zeros(group.shape, bool)
    inner[1:-1, 1:-1] = ((group[1:-1, 1:-1] == group[:-2, 1:-1]) & (group[1:-1, 1:-1] == group[2:, 1:-1]) &
                         (group[1:-1, 1:-1] == group[1:-1, :-2]) & (group[1:-1, 1:-1] == group[1:-1, 2:]))
    pixels, inside = np.bincount(group.ravel()), np.bincount(group.ravel(), weights=inner.ravel())
    # A line up to two pixels wide has no pixel inside it, one with thicker stretches a few.
    line = inside < 0.25 * np.maximum(pixels, 1)
    rgb = np.stack([(group >> 16) & 255, (group >> 8) & 255, group & 255], axis=2).astype(np.int32)
    count = 0
    for connectivity, kind in ((4, False), (8, True)):
        count += sum(a >= 3 and line[v] == kind for v, a in damaged_map.region_sizes(rgb, connectivity))
    return count


def regions_found(clean, labels, which, mapped, regions):
    """How many clean regions (of 3 pixels and more) have most of their pixel centres in one map
    region of their colour (or one a JPEG cannot tell from it), and how many map regions are no
    such region's."""
    palette = np.unique(clean.reshape(-1, 3), axis=0).astype(int)
    h, w, _ = clean.shape
    index = np.full((h, w), -1)
    for k, rgb in enumerate(palette):
        index[(clean == rgb).all(axis=2)] = k
    inside = (labels >= 0) & (which >= 0)
    pairs = labels[inside].astype(np.int64) * (regions + 1) + which[inside]
    counts = np.bincount(pairs, minlength=(labels.max() + 1) * (regions + 1)).reshape(-1, regions + 1)
    size = np.bincount(labels[labels >= 0], minlength=counts.shape[0])
    colour_of = np.full(counts.shape[0], -1)
    colour_of[labels[labels >= 0]] = index[labels >= 0]
    region_colour = np.full(regions + 1, -2)
    region_colour[which[which >= 0]] = mapped[which >= 0]
    best = counts.argmax(axis=1)
    same = alike_colours(palette)[np.maximum(region_colour[best], 0), np.maximum(colour_of, 0)]
    ok = (size > 0) & (counts[np.arange(len(best)), best] * 2 > size) & (region_colour[best] >= 0) & same
    return int(ok.sum()), regions - len(set(best[ok].tolist()))


def check(clean_path, region_map, rectangle_map):
    clean = read_rgb(clean_path)
    h, w, _ = clean.shape
    palette = np.unique(clean.reshape(-1, 3), axis=0).astype(int)
    dataset = ogr.Open(region_map)
    layer = dataset.GetLayerByName("polygons")
    mem = ogr.GetDriverByName("Memory").CreateDataSource("")
    mem_layer = mem.CreateLayer("r")
    mem_layer.CreateField(ogr.FieldDefn("k", ogr.OFTInteger))
    mem_layer.CreateField(ogr.FieldDefn("id", ogr.OFTInteger))
    n = 0
    for f in layer:
        hexc = f.GetField("color")
        rgb = np.array([int(hexc[i:i + 2], 16) for i in (1, 3, 5)])
        g = ogr.Feature(mem_layer.GetLayerDefn())
        g.SetField("k", int(np.abs(palette - rgb).sum(axis=1).argmin()))
        g.SetField("id", n)
        g.SetGeometry(f.GetGeometryRef().MakeValid())
        mem_layer.CreateFeature(g)
        n += 1
    mapped = rasterized(mem_layer, w, h, "ATTRIBUTE=k")
    which = rasterized(mem_layer, w, h, "ATTRIBUTE=id")
    index = np.full((h, w), -2)
    for k, rgb in enumerate(palette):
        index[(clean == rgb).all(axis=2)] = k
    sizes = [a for _, a in damaged_map.region_sizes(clean)]
    clean_regions, kept = len(sizes), sum(a >= 3 for a in sizes)
    joined = len(damaged_map.region_sizes(clean, 8))
    print(f"clean regions {clean_regions}, map regions {n} ({100 * (n - clean_regions) / clean_regions:+.1f}%); "
          f"of 3 pixels and more (27 after the 3x upscale, what a sieve of 20 keeps) {kept} "
          f"({100 * (n - kept) / kept:+.1f}%)")
    # Counted 8-connected, as the sieve counts them: a one-pixel border drawn as a staircase is
    # one region, not one per step.
    print(f"clean regions 8-connected {joined} ({100 * (n - joined) / joined:+.1f}%)")
    drawn = drawn_regions(clean)
    print(f"clean regions as drawn (areas 4-connected, thin lines 8-connected, colours no channel 8 steps "
          f"apart as one, of 3 pixels and more) {drawn} ({100 * (n - drawn) / drawn:+.1f}%)")
    found, extra = regions_found(clean, kept_labels(clean), which, mapped, n)
    print(f"clean regions of 3 pixels and more found (most of their pixel centres in one region of "
          f"their colour, no channel 8 steps off): {found} of {kept}; map regions that are none of them: {extra}")
    print(f"clean pixel centres in a region of their colour: {100 * (mapped == index).mean():.2f}%")
    alike = alike_colours(palette)
    same = alike[np.maximum(mapped, 0), np.maximum(index, 0)] & (mapped >= 0) & (index >= 0)
    print(f"... counting colours no channel 8 steps apart as one: {100 * same.mean():.2f}%")
    print(f"map file {os.path.getsize(region_map)} bytes = "
          f"{100 * os.path.getsize(region_map) / os.path.getsize(rectangle_map):.2f}% of the rectangle map's")


def summary(checks):
    """Counts over the maps of several `check` reports."""
    maps = []
    for line in open(checks):
        words = line.split()
        if line.startswith("clean regions of 3"):
            found, kept, extra = int(words[-11]), int(words[-9][:-1]), int(words[-1])
        elif line.startswith("clean regions 8-connected"):
            off = float(words[-1][1:-2])
        elif line.startswith("clean regions as drawn"):
            drawn_off = float(words[-1][1:-2])
        elif line.startswith("clean regions "):
            regions = int(words[5])
        elif line.startswith("clean pixel centres"):
            accuracy = float(words[-1][:-1])
        elif line.startswith("... counting"):
            maps.append((accuracy, float(words[-1][:-1]), found, kept, extra, regions, drawn_off, off))
    print(f"{len(maps)} maps: {sum(a >= 98 for a, *_ in maps)} with at least 98% of the clean pixel centres "
          f"in a region of their colour ({sum(b >= 98 for _, b, *_ in maps)} counting colours no channel 8 steps "
          f"apart as one); {sum(f >= 0.9 * k for _, _, f, k, *_ in maps)} find 90% of the clean regions of 3 "
          f"pixels and more; {sum(e <= 0.1 * r for *_, e, r, _, _ in maps)} add no more than a tenth of their regions besides; "
          f"{sum(abs(o) <= 5 for *_, o in maps)} have within 5% of the clean regions counted 8-connected, "
          f"{sum(abs(d) <= 5 for *_, d, _ in maps)} of them as drawn")


if __name__ == "__main__":
    {"make": make, "damage": damage, "check": check, "summary": summary}[sys.argv[1]](*sys.argv[2:])
