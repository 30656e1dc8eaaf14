"""Georeferenced pictures through picmap-cli convert, checked with GDAL's own tools.

A flat-colour map drawn as a longitude/latitude box is warped by gdalwarp into Web Mercator,
a UTM zone and a Lambert projection; picmap places each by its own georeferencing, and the map
it writes must put the original picture's pixels back into figures of their colours.
"""
import math
import os
import re
import subprocess
import tempfile
import unittest

import numpy as np
from osgeo import gdal, ogr, osr

gdal.UseExceptions()
CLI = os.environ["PICMAP_CLI"]
WEST, NORTH, W, H = 128.0, 46.0, 600, 400
PX, PY = 108 / 3600.0, 144 / 3600.0  # arc-seconds per pixel across and down
LAMBERT = "+proj=lcc +lat_1=33 +lat_2=45 +lat_0=38 +lon_0=137 +datum=WGS84 +units=m"


def flat_colour_map(path, palette=False, west=WEST):
    """Forty Voronoi regions in eight colours, every fifth one white (the background)."""
    rng = np.random.default_rng(3)
    seeds = rng.uniform([0, 0], [W, H], size=(40, 2))
    yy, xx = np.mgrid[0:H, 0:W]
    label = np.stack([(xx - sx) ** 2 + (yy - sy) ** 2 for sx, sy in seeds]).argmin(0)
    colours = [(230, 30, 30), (30, 160, 60), (40, 60, 200), (240, 200, 40), (160, 60, 170),
               (20, 170, 190), (250, 130, 30), (120, 120, 120)]
    index = np.where(label % 5 == 0, 8, label % 8).astype(np.uint8)
    table = colours + [(255, 255, 255)]
    ds = gdal.GetDriverByName("GTiff").Create(path, W, H, 1 if palette else 3, gdal.GDT_Byte)
    ds.SetGeoTransform([west, PX, 0, NORTH, 0, -PY])
    ds.SetProjection(srs_of("EPSG:4326").ExportToWkt())
    if palette:
        ct = gdal.ColorTable()
        for i, c in enumerate(table):
            ct.SetColorEntry(i, c)
        ds.GetRasterBand(1).SetRasterColorTable(ct)
        ds.GetRasterBand(1).WriteArray(index)
    else:
        rgb = np.array(table, np.uint8)[index]
        for b in range(3):
            ds.GetRasterBand(b + 1).WriteArray(rgb[:, :, b])
    ds = None


def srs_of(text):
    srs = osr.SpatialReference()
    srs.SetFromUserInput(text)
    srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return srs


def convert(*args):
    return subprocess.run([CLI, "convert", "--lang", "en", "--background", "#FFFFFF", *args],
                          capture_output=True, text=True)


def share_in_own_colour(original, map_file):
    """The share of the original's mapped pixel centres inside a figure of their colour."""
    src = gdal.Open(original)
    rgb = np.stack([src.GetRasterBand(b + 1).ReadAsArray() for b in range(3)]).astype(np.int64)
    colour = rgb[0] * 65536 + rgb[1] * 256 + rgb[2]
    mapped = colour != 0xFFFFFF
    ds = ogr.Open(map_file)  # the layer lives only as long as its dataset
    layer = ds.GetLayerByName("polygons")
    mem = ogr.GetDriverByName("Memory").CreateDataSource("m")
    out_layer = mem.CreateLayer("p", srs_of("EPSG:4326"), ogr.wkbPolygon)
    out_layer.CreateField(ogr.FieldDefn("c", ogr.OFTInteger))
    gt = src.GetGeoTransform()
    past_180 = gt[0] + src.RasterXSize * gt[1] > 180
    for f in layer:
        g = ogr.Feature(out_layer.GetLayerDefn())
        g.SetField("c", int(f.GetField("color")[1:], 16))
        shape = f.GetGeometryRef().Clone()
        if past_180 and shape.GetEnvelope()[1] <= 0:  # east of 180°: a turn further on
            ring = shape.GetGeometryRef(0)
            for i in range(ring.GetPointCount()):
                ring.SetPoint_2D(i, ring.GetX(i) + 360, ring.GetY(i))
        g.SetGeometry(shape)
        out_layer.CreateFeature(g)
    grid = gdal.GetDriverByName("MEM").Create("", src.RasterXSize, src.RasterYSize, 1, gdal.GDT_Int32)
    grid.SetGeoTransform(src.GetGeoTransform())
    grid.GetRasterBand(1).Fill(-1)
    gdal.RasterizeLayer(grid, [1], out_layer, options=["ATTRIBUTE=c"])
    got = grid.GetRasterBand(1).ReadAsArray()
    return ((got == colour) & mapped).sum() / mapped.sum()


def rms_of(stdout):
    return float(re.search(r"^rms: ([0-9.]+) px", stdout, re.M).group(1))


class Projections(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.original = cls.path("lonlat.tif")
        flat_colour_map(cls.original)
        flat_colour_map(cls.path("paletted.tif"), palette=True)

    @classmethod
    def path(cls, name):
        return os.path.join(cls.dir.name, name)

    def warp(self, source, name, crs, *extra):
        gdal.Warp(self.path(name), source, dstSRS=crs, resampleAlg="near", options=list(extra))
        return self.path(name)

    def assertRoundTrip(self, picture, *args, out=None, original=None):
        out = out or self.path(os.path.basename(picture) + ".MLL")
        r = convert(picture, "-o", out, *args)
        self.assertEqual(r.returncode, 0, r.stderr)
        share = share_in_own_colour(original or self.original, out)
        self.assertGreaterEqual(share, 0.98, f"{picture}: {share:.4f}")
        return r

    def test_projected_pictures_come_back_to_their_colours(self):
        for name, crs, extra in [("merc.tif", "EPSG:3857", ["-dstalpha"]),
                                 ("utm.tif", "EPSG:32654", ["-dstalpha"]),
                                 ("utm_height.tif", "EPSG:32654+5773", ["-dstalpha"]),  # with a height CRS
                                 ("lcc.tif", LAMBERT, ["-dstnodata", "0"])]:
            with self.subTest(name):
                warped = self.warp(self.original, name, crs, *extra)
                r = self.assertRoundTrip(warped)
                self.assertIn("warped:", r.stdout)
                self.assertNotIn("finer than", r.stderr)
                size = gdal.Open(warped)
                self.assertIn(f"{name} ({size.RasterXSize} x {size.RasterYSize} pixels)", r.stdout)

    def test_a_picture_finer_than_the_map_grid_is_told_it_is_coarsened(self):
        for metres, seconds in [(60, r"[12]\.\d\d"), (240, r"[6-9]\.\d\d")]:
            fine = self.path(f"utm_{metres}.tif")
            gdal.Translate(fine, self.original, outputSRS="EPSG:32654", width=300, height=200,
                           outputBounds=[400000, 4.0e6, 400000 + 300 * metres, 4.0e6 - 200 * metres])
            r = convert(fine, "-o", self.path(f"fine{metres}.MLL"))
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertRegex(r.stderr, rf"pixels \(about {seconds} seconds\) are finer than the 10 seconds")

    def test_cleaned_regions_of_a_warped_picture_stay_inside_its_footprint(self):
        utm = self.warp(self.original, "utm_r.tif", "EPSG:32654", "-dstalpha")
        out = self.path("regions.MLL")
        self.assertRoundTrip(utm, "--colors", "9", "--sieve", "20", "--regions", out=out)
        ds = ogr.Open(out)
        west, east, south, north = ds.GetLayerByName("polygons").GetExtent()
        slack = 0.05  # a pixel of the warped grid
        self.assertGreaterEqual(west, WEST - slack)
        self.assertLessEqual(east, WEST + W * PX + slack)
        self.assertLessEqual(north, NORTH + slack)
        self.assertGreaterEqual(south, NORTH - H * PY - slack)

    def test_a_picture_across_the_180th_meridian_stays_whole(self):
        across = self.path("across.tif")
        flat_colour_map(across, west=170.0)
        r = self.assertRoundTrip(self.warp(across, "utm60.tif", "EPSG:32660", "-dstalpha"),
                                 original=across)
        self.assertRegex(r.stdout, r"extents: west E16\d°.*, east W1[67]\d°.*″\n")
        r = convert(across, "-o", self.path("round.MLL"), "--west", "170", "--east", "170")
        self.assertIn("east E170°00′00″, north", r.stdout)
        self.assertRegex(r.stdout, r"extents: .*″ \(360°\)\n")

    def test_background_at_takes_the_pixel_of_the_picture_as_given(self):
        """The warped grid's corner lies off a projected picture: the pixel is the file's own."""
        utm = self.path("utm_assigned.tif")
        gdal.Translate(utm, self.original, outputSRS="EPSG:32654",
                       outputBounds=[300000, 5.1e6, 900000, 4.7e6])
        src = gdal.Open(utm)
        corner = "#%02X%02X%02X" % tuple(int(src.GetRasterBand(b + 1).ReadAsArray(0, 0, 1, 1)[0, 0])
                                         for b in range(3))
        out = self.path("utm_assigned.MLL")
        r = subprocess.run([CLI, "convert", "--lang", "en", "--background-at", "0,0", utm, "-o", out],
                           capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("warped:", r.stdout)
        ds = ogr.Open(out)
        colours = {f.GetField("color") for f in ds.GetLayerByName("polygons")}
        self.assertNotIn(corner, colours)
        self.assertGreater(len(colours), 3)

    def test_a_paletted_picture_keeps_its_exact_colours_through_the_warp(self):
        self.assertRoundTrip(self.warp(self.path("paletted.tif"), "pal3857.tif", "EPSG:3857",
                                       "-dstalpha"))

    def region_colours(self, picture, out):
        """The colours of the regions of the picture, every pixel mapped."""
        r = subprocess.run([CLI, "convert", "--lang", "en", "--background", "none", "--regions", picture,
                            "-o", out], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        ds = ogr.Open(out)
        return sorted(f.GetField("color") for f in ds.GetLayerByName("polygons"))

    def test_no_data_of_every_band_cuts_out_only_where_all_bands_hold_it(self):
        path, out = self.path("nodata.tif"), self.path("nodata.MLL")
        rgb = np.full((3, 40, 60), 255, np.uint8)  # no-data all round
        rgb[:, 10:30, 5:25] = np.array([255, 0, 0], np.uint8)[:, None, None]  # 255 in one band
        rgb[:, 10:30, 35:55] = np.array([0, 0, 255], np.uint8)[:, None, None]
        ds = gdal.GetDriverByName("GTiff").Create(path, 60, 40, 3, gdal.GDT_Byte)
        ds.SetGeoTransform([WEST, PX, 0, NORTH, 0, -PY])
        ds.SetProjection(srs_of("EPSG:4326").ExportToWkt())
        for b in range(3):
            ds.GetRasterBand(b + 1).WriteArray(rgb[b])
            ds.GetRasterBand(b + 1).SetNoDataValue(255)
        ds = None
        self.assertEqual(self.region_colours(path, out), ["#0000FF", "#FF0000"])
        # The colour under no data is none of the picture's: taken, it mapped the sea.
        r = subprocess.run([CLI, "convert", "--lang", "en", "--background-at", "0,0", path,
                            "-o", self.path("nodata_at.MLL")], capture_output=True, text=True)
        self.assertEqual(r.returncode, 2, r.stdout)
        self.assertIn("pixel 0,0 lies where " + path + " holds no data", r.stderr)
        self.assertFalse(os.path.exists(self.path("nodata_at.MLL")))

    def test_samples_of_fewer_than_8_bits_span_black_to_white(self):
        path, out = self.path("grey4.tif"), self.path("grey4.MLL")
        grey = np.zeros((20, 30), np.uint8)
        grey[:, 10:20], grey[:, 20:] = 5, 15
        ds = gdal.GetDriverByName("GTiff").Create(path, 30, 20, 1, gdal.GDT_Byte, ["NBITS=4"])
        ds.SetGeoTransform([WEST, PX, 0, NORTH, 0, -PY])
        ds.SetProjection(srs_of("EPSG:4326").ExportToWkt())
        ds.GetRasterBand(1).WriteArray(grey)
        ds = None
        self.assertEqual(self.region_colours(path, out), ["#000000", "#555555", "#FFFFFF"])

    def test_georeferencing_that_cannot_place_the_picture_is_refused_and_nothing_written(self):
        src = gdal.Open(self.original)
        pixels = [src.GetRasterBand(b + 1).ReadAsArray() for b in range(3)]

        def picture(name, gt=None, crs="EPSG:32654", gcps=()):
            ds = gdal.GetDriverByName("GTiff").Create(self.path(name), W, H, 3, gdal.GDT_Byte)
            for b in range(3):
                ds.GetRasterBand(b + 1).WriteArray(pixels[b])
            if gt:
                ds.SetGeoTransform(gt)
                ds.SetProjection(srs_of(crs).ExportToWkt())
            if gcps:
                ds.SetGCPs([gdal.GCP(x, y, 0, px, py) for px, py, x, y in gcps], srs_of(crs).ExportToWkt())
            return self.path(name)

        png = self.path("zero_world.png")
        gdal.Translate(png, self.original, format="PNG")
        os.remove(png + ".aux.xml")  # only the world file places it
        with open(self.path("zero_world.pgw"), "w") as f:
            f.write("0\n0\n0\n-100\n300050\n3999950\n")
        with open(self.path("zero_world.prj"), "w") as f:
            f.write(srs_of("EPSG:32654").ExportToWkt())
        turned = self.path("turned_past_pole.png")
        gdal.Translate(turned, self.original, format="PNG")
        os.remove(turned + ".aux.xml")
        with open(self.path("turned_past_pole.pgw"), "w") as f:
            f.write("0.05\n0.01\n0.01\n-0.05\n130\n95\n")
        utm = picture("utm_metres.tif", [3e5, 100, 0, 4e6, 0, -100])
        for name, reason, *extra in [
                (picture("singular.tif", [300000, 100, 100, 4e6, 100, 100]), "cannot place the pixels"),
                (png, "cannot place the pixels"),
                (picture("two_points.tif", gcps=[(0, 0, 3e5, 4e6), (W, 0, 3.8e5, 4e6)]), "too few control points"),
                (picture("past_pole.tif", [10, 0.1, 0, 100, 0, -0.1], "EPSG:4326"), "beyond ±90° of latitude"),
                (utm, "beyond ±90° of latitude", "--source-crs", "EPSG:4979"),  # metres read as degrees
                (utm, "it is geocentric or vertical", "--source-crs", "EPSG:4978"),
                (picture("huge_pixels.tif", [3e5, 1e9, 0, 4e6, 0, -1e9]), "more than the whole earth"),
                (turned, "beyond ±180° of longitude or ±90° of latitude", "--world-file")]:
            with self.subTest(name, extra=extra):
                out = self.path(os.path.basename(name) + ".MLL")
                r = convert(name, "-o", out, *extra)
                self.assertEqual(r.returncode, 1, r.stdout)
                self.assertIn(reason, r.stderr)
                self.assertEqual(len(r.stderr.strip().splitlines()), 1, r.stderr)
                self.assertFalse(os.path.exists(out))

    def test_pictures_that_cannot_be_read_say_how_to_make_them_readable(self):
        def raster(name, bands, kind, size=(40, 30)):
            ds = gdal.GetDriverByName("GTiff").Create(self.path(name), *size, bands, kind)
            ds.SetGeoTransform([WEST, PX, 0, NORTH, 0, -PY])
            ds.SetProjection(srs_of("EPSG:4326").ExportToWkt())
            ds = None
            return self.path(name)

        whole = raster("whole.tif", 3, gdal.GDT_Byte, (400, 300))
        with open(whole, "rb") as f:
            data = f.read()
        with open(self.path("cut.tif"), "wb") as f:
            f.write(data[:len(data) // 2])
        gdal.Translate(self.path("j12.jpg"), raster("u16g.tif", 1, gdal.GDT_UInt16), format="JPEG")
        for name, said in [(raster("u16.tif", 3, gdal.GDT_UInt16), "gdal_translate -ot Byte -scale makes it 8-bit"),
                           (self.path("j12.jpg"), "1 band(s) of UInt16 cannot be read"),  # a 12-bit JPEG
                           (raster("b5.tif", 5, gdal.GDT_Byte), "gdal_translate -b 1 -b 2 -b 3 picks"),
                           (raster("u16b5.tif", 5, gdal.GDT_UInt16), "-b 3 -ot Byte -scale makes three 8-bit"),
                           (self.path("cut.tif"), "data is damaged or cut short"),
                           (raster("tiny.tif", 3, gdal.GDT_Byte, (40, 8)), "smaller than 16 x 16 pixels (40 x 8 pixels)")]:
            with self.subTest(name):
                r = convert(name, "-o", self.path("unread.MLL"))
                self.assertEqual(r.returncode, 1, r.stdout)
                self.assertIn(said, r.stderr)
                self.assertEqual(r.stderr.count(os.path.basename(name)), 1, r.stderr)
        r = convert(self.original, "-o", self.path("regions.MLL"), "--regions", "--compress", "2")
        self.assertIn("note: each region of --regions is one figure already, so --compress is not run", r.stderr)

    def test_a_world_file_with_rotation_terms_places_the_picture_turned(self):
        turn = math.radians(10)
        size = PX / 2  # finer than the original, so the turned copy loses none of it
        gt = [WEST - 3.5, size * math.cos(turn), size * math.sin(turn),
              NORTH - 0.5, size * math.sin(turn), -size * math.cos(turn)]
        turned = gdal.GetDriverByName("MEM").Create("", int(W * 3.2), int(H * 3.8), 3, gdal.GDT_Byte)
        turned.SetGeoTransform(gt)
        turned.SetProjection(srs_of("EPSG:4326").ExportToWkt())
        for b in range(3):
            turned.GetRasterBand(b + 1).Fill(255)
        gdal.Warp(turned, self.original, resampleAlg="near")
        png = self.path("turned.png")
        gdal.GetDriverByName("PNG").CreateCopy(png, turned)
        if os.path.exists(png + ".aux.xml"):
            os.remove(png + ".aux.xml")
        a, b, d, e = gt[1], gt[2], gt[4], gt[5]
        with open(self.path("turned.pgw"), "w") as f:  # the centre of the upper-left pixel
            f.write(f"{a}\n{d}\n{b}\n{e}\n{gt[0] + a / 2 + b / 2}\n{gt[3] + d / 2 + e / 2}\n")
        self.assertRoundTrip(png, "--world-file")

    def test_a_longitude_latitude_geotiff_is_used_as_it_is(self):
        r = self.assertRoundTrip(self.original)
        self.assertNotIn("warped:", r.stdout)
        self.assertIn("west E128°00′00″, east E146°00′00″, north N46°00′00″, south N30°00′00″",
                      r.stdout)
        self.assertIn("georeference: geotransform in WGS 84", r.stdout)
        japanese = subprocess.run([CLI, "convert", "--lang", "ja", "--background", "#FFFFFF", self.original,
                                   "-o", self.path("ja.MLL")], capture_output=True, text=True)
        self.assertIn("georeference: 座標変換式 (WGS 84)", japanese.stdout)
        # An edge typed sets the file's own placement aside: never without a word.
        one_edge = convert(self.original, "-o", self.path("west.MLL"), "--west", "100")
        self.assertEqual(one_edge.returncode, 0, one_edge.stderr)
        self.assertIn("its own georeferencing is not used", one_edge.stderr)
        self.assertIn("(--west)", one_edge.stderr)

    def test_a_geotiff_in_a_zip_is_read_through_gdals_virtual_files(self):
        import zipfile
        with zipfile.ZipFile(self.path("sheets.zip"), "w") as z:
            z.write(self.original, "sheet.tif")
        inside = "/vsizip/" + self.path("sheets.zip") + "/sheet.tif"
        self.assertRoundTrip(inside, out=self.path("zipped.MLL"))
        r = convert(inside)  # nowhere to write beside it
        self.assertEqual(r.returncode, 2, r.stdout)
        self.assertIn("-o/--output", r.stderr)
        r = convert("/vsizip/" + self.path("sheets.zip") + "/none.tif", "-o", self.path("none.MLL"))
        self.assertEqual(r.returncode, 1, r.stdout)
        self.assertIn("does not exist", r.stderr)

    def test_a_world_file_with_a_prj_places_a_png(self):
        utm = self.warp(self.original, "utm_w.tif", "EPSG:32654", "-dstalpha")
        png = self.path("utm.png")
        gdal.Translate(png, utm, format="PNG", creationOptions=["WORLDFILE=YES"])
        os.remove(png + ".aux.xml")
        with open(self.path("utm.prj"), "w") as prj:
            prj.write(srs_of("EPSG:32654").ExportToWkt())
        self.assertRoundTrip(png)
        # Without the .prj, the CRS named: the world file in metres places it the same.
        os.remove(self.path("utm.prj"))
        self.assertRoundTrip(png, "--world-file", "--source-crs", "EPSG:32654",
                             out=self.path("utm_named.MLL"))

    def control_points(self, raster, crs, fractions=((.07, .05), (.93, .08), (.5, .45),
                                                     (.12, .9), (.9, .85), (.45, .12))):
        """Pixels of a georeferenced raster with their coordinates in `crs`."""
        ds = gdal.Open(raster)
        gt = ds.GetGeoTransform()
        to = osr.CoordinateTransformation(srs_of(ds.GetProjection()), srs_of(crs))
        points = []
        for fx, fy in fractions:
            px, py = round(fx * ds.RasterXSize, 1), round(fy * ds.RasterYSize, 1)
            x, y = gt[0] + px * gt[1] + py * gt[2], gt[3] + px * gt[4] + py * gt[5]
            mx, my, _ = to.TransformPoint(x, y)
            points.append((px, py, mx, my))
        return points

    def test_control_points_of_a_known_transformation_fit_and_read_back(self):
        utm = self.warp(self.original, "utm_g.tif", "EPSG:32654", "-dstalpha")
        plain = self.plain_png(utm)
        gcps = [f"--gcp={px},{py},{x!r},{y!r}" for px, py, x, y in
                self.control_points(utm, "EPSG:32654")]
        points = self.path("utm.points")
        first, second = self.path("by_options.MLL"), self.path("by_file.MLL")
        r = self.assertRoundTrip(plain, "--gcp-crs", "EPSG:32654", *gcps, "--save-gcp-file",
                                 points, out=first)
        self.assertLess(rms_of(r.stdout), 0.5)
        again = self.assertRoundTrip(plain, "--gcp-file", points, out=second)
        self.assertEqual(rms_of(again.stdout), rms_of(r.stdout))
        self.assertEqual(self.figures(first), self.figures(second))
        with open(points) as f:
            self.assertTrue(f.readline().startswith("#CRS: "))
            self.assertEqual(f.readline().strip(), "mapX,mapY,sourceX,sourceY,enable,dX,dY,residual")

    def test_longitude_latitude_control_points_with_a_curved_fit(self):
        utm = self.warp(self.original, "utm_c.tif", "EPSG:32654", "-dstalpha")
        plain = self.plain_png(utm)
        grid = [(.1 + .8 * i / 3, .1 + .8 * j / 3) for i in range(4) for j in range(4)]
        gcps = [f"--gcp={px},{py},{x!r},{y!r}" for px, py, x, y in
                self.control_points(utm, "EPSG:4326", grid)]
        r = self.assertRoundTrip(plain, *gcps, "--transform", "tps")
        self.assertLess(rms_of(r.stdout), 0.5)
        # The same points carried in the picture file are fitted by the transformation asked for.
        points = [gdal.GCP(x, y, 0, px, py) for px, py, x, y in self.control_points(utm, "EPSG:4326", grid)]
        carried = self.path("gcps.tif")
        gdal.Translate(carried, plain, GCPs=points, outputSRS="EPSG:4326")
        r = self.assertRoundTrip(carried, "--transform", "tps")
        self.assertIn("16 control points of the file (tps)", r.stdout)
        self.assertLess(rms_of(r.stdout), 0.5)

    def plain_png(self, raster):
        """The raster's pixels without any georeferencing."""
        png = self.path(os.path.basename(raster) + ".png")
        gdal.Translate(png, raster, format="PNG")
        if os.path.exists(png + ".aux.xml"):
            os.remove(png + ".aux.xml")
        return png

    @staticmethod
    def figures(map_file):
        ds = ogr.Open(map_file)
        layer = ds.GetLayerByName("polygons")
        return [f.GetGeometryRef().ExportToWkt() for f in layer]


class BadInput(unittest.TestCase):
    """Each is one line naming the file and the reason, exit 1, and no map written."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.tif = os.path.join(cls.dir.name, "map.tif")
        flat_colour_map(cls.tif)
        cls.merc = os.path.join(cls.dir.name, "merc.tif")
        gdal.Warp(cls.merc, cls.tif, dstSRS="EPSG:3857", resampleAlg="near", width=1400, height=1200)

    def refused(self, picture, *args, reason):
        out = os.path.join(self.dir.name, "out.MLL")
        r = convert(picture, "-o", out, *args)
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        self.assertEqual(len(r.stderr.strip().splitlines()), 1, r.stderr)
        self.assertRegex(r.stderr, reason)
        self.assertFalse(os.path.exists(out))

    def test_each_is_refused_in_one_line(self):
        junk = os.path.join(self.dir.name, "junk.tif")
        with open(junk, "w") as f:
            f.write("not a raster\n")
        bad_points = os.path.join(self.dir.name, "bad.points")
        with open(bad_points, "w") as f:
            f.write("mapX,mapY,sourceX,sourceY,enable,dX,dY,residual\n"
                    "128,46,0,0,1,0,0,0\n146,inf,600,-10,1,0,0,0\n")
        corners = ["--gcp=0,0,128,46", "--gcp=600,0,146,46", "--gcp=600,400,146,30"]
        cases = [
            ((junk,), "junk.tif: .*picture"),
            ((self.tif, "--source-crs", "EPSG:999999"), "unknown coordinate reference system"),
            ((self.tif, "--gcp=0,0,128,46", "--gcp=900,0,146,46", "--gcp=600,400,146,30"),
             "pixel \\(900.0, 0.0\\) lies outside the picture"),
            ((self.tif, "--gcp-file", bad_points), "bad.points: line 3: 'inf' is not a finite number"),
            ((self.merc, "--warp-limit", "1"), "more than the limit of 1MB"),
            ((self.tif, *corners[:2]), "needs at least 3 enabled points \\(there are 2\\)"),
            ((self.tif, "--gcp=0,0,128,46", "--gcp=300,200,137,38", "--gcp=600,400,146,30"),
             "lie on one line"),
            ((self.tif, *corners, "--gcp=0,400,128,30", "--gcp=300,200,150,20",
              "--gcp=100,100,120,50", "--transform", "poly2"), "folds the picture"),
        ]
        for args, reason in cases:
            with self.subTest(reason):
                self.refused(*args, reason=reason)


if __name__ == "__main__":
    unittest.main()
