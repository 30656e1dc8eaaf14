"""Flat-colour map pictures and the damage real pictures of them have: a 3x bilinear upscale,
a 0.7 pixel blur and JPEG compression at quality 60. Shared by the clean-up test and the bench."""
import numpy as np
from osgeo import gdal

# Distinct flat colours as a political map uses them (R, G, B).
COLOURS = np.array([
    (230, 25, 75), (60, 180, 75), (255, 225, 25), (0, 130, 200), (245, 130, 48),
    (145, 30, 180), (70, 240, 240), (240, 50, 230), (210, 245, 60), (250, 190, 190),
    (0, 128, 128), (170, 110, 40)], dtype=np.uint8)


def clean_map(size, regions, colours=8, seed=1, lakes=0, palette=COLOURS):
    """A size x size picture of Voronoi regions in the first `colours` flat colours of
    `palette` (H x W x 3), with `lakes` discs of the last colour inside them (holes in their
    regions)."""
    rng = np.random.default_rng(seed)
    seeds = rng.uniform(0, size, (regions, 2))
    owner = np.empty((size, size), dtype=np.int32)
    ys, xs = np.mgrid[0:size, 0:size]
    for y0 in range(0, size, 256):
        py, px = ys[y0:y0 + 256] + 0.5, xs[y0:y0 + 256] + 0.5
        d = (px[..., None] - seeds[:, 0]) ** 2 + (py[..., None] - seeds[:, 1]) ** 2
        owner[y0:y0 + 256] = d.argmin(axis=2)
    picture = palette[:colours][rng.integers(0, colours - (1 if lakes else 0), regions)][owner]
    for cx, cy in rng.uniform(0.1 * size, 0.9 * size, (lakes, 2)):
        picture[(xs + 0.5 - cx) ** 2 + (ys + 0.5 - cy) ** 2 < (0.03 * size) ** 2] = palette[colours - 1]
    return picture


def with_borders(picture, colour=(0, 0, 0)):
    """The picture with a one-pixel line of `colour` wherever a pixel's right or lower
    neighbour is of another colour, as political map pictures draw their borders."""
    out = picture.copy()
    edge = np.zeros(picture.shape[:2], dtype=bool)
    edge[:, :-1] |= (picture[:, :-1] != picture[:, 1:]).any(axis=2)
    edge[:-1, :] |= (picture[:-1, :] != picture[1:, :]).any(axis=2)
    out[edge] = colour
    return out


def region_sizes(rgb, connectivity=4):
    """The area in pixels of each 4- (or 8-) connected region of one colour."""
    h, w, _ = rgb.shape
    code = (rgb[..., 0].astype(np.int32) << 16) | (rgb[..., 1].astype(np.int32) << 8) | rgb[..., 2]
    ds = gdal.GetDriverByName('MEM').Create('', w, h, 1, gdal.GDT_Int32)
    ds.GetRasterBand(1).WriteArray(code)
    from osgeo import ogr
    out = ogr.GetDriverByName('Memory').CreateDataSource('')
    layer = out.CreateLayer('r')
    layer.CreateField(ogr.FieldDefn('v', ogr.OFTInteger))
    gdal.Polygonize(ds.GetRasterBand(1), None, layer, 0, ['8CONNECTED=8'] if connectivity == 8 else [])
    return [(f.GetField('v'), f.GetGeometryRef().GetArea()) for f in layer]


def _dataset(rgb):
    h, w, _ = rgb.shape
    ds = gdal.GetDriverByName('MEM').Create('', w, h, 3, gdal.GDT_Byte)
    for b in range(3):
        ds.GetRasterBand(b + 1).WriteArray(rgb[..., b])
    return ds


def _blur(rgb, sigma):
    r = 2
    k = np.exp(-0.5 * (np.arange(-r, r + 1) / sigma) ** 2)
    k /= k.sum()
    out = rgb.astype(np.float32)
    for axis in (0, 1):
        padded = np.pad(out, [(r, r) if a == axis else (0, 0) for a in range(3)], mode='edge')
        out = sum(k[i] * np.take(padded, range(i, i + out.shape[axis]), axis=axis)
                  for i in range(2 * r + 1))
    return np.clip(np.rint(out), 0, 255).astype(np.uint8)


def damaged(rgb):
    """3x bilinear upscale, then a 0.7 pixel blur (H x W x 3, before JPEG)."""
    h, w, _ = rgb.shape
    up = gdal.Translate('', _dataset(rgb), format='MEM', width=3 * w, height=3 * h,
                        resampleAlg='bilinear')
    big = np.dstack([up.GetRasterBand(b + 1).ReadAsArray() for b in range(3)])
    return _blur(big, 0.7)


def save_png(rgb, path):
    gdal.GetDriverByName('PNG').CreateCopy(path, _dataset(rgb))


def save_jpeg(rgb, path, quality=60):
    gdal.GetDriverByName('JPEG').CreateCopy(path, _dataset(rgb), options=['QUALITY=%d' % quality])


def region_count(rgb):
    """4-connected regions of one colour, as gdal_polygonize counts them."""
    return len(region_sizes(rgb))
