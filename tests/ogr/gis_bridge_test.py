"""Map files seen from GDAL: the MLL driver read by ogrinfo and osgeo.ogr, written by ogr2ogr,
and picmap-cli export through it. Run by ctest with PICMAP_CLI and GDAL_DRIVER_PATH set."""
import json
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile

from osgeo import gdal, ogr, osr

gdal.UseExceptions()
CLI = os.environ["PICMAP_CLI"]
WHITE, RED, BLUE, GREEN = (255, 255, 255), (255, 0, 0), (0, 0, 255), (0, 160, 0)


def run(*args, ok=True):
    if args[0] == CLI:  # the words read here are those of picmap-cli's English messages
        args = (CLI, "--lang", "en") + args[1:]
    p = subprocess.run(list(args), capture_output=True, text=True)
    if ok and p.returncode != 0:
        raise AssertionError(f"{args} failed ({p.returncode}):\n{p.stdout}\n{p.stderr}")
    return p


def scaled(rows, scale):
    return ["".join(c * scale for c in row) for row in rows for _ in range(scale)]


def write_png(path, rows, scale=2):
    """rows: a list of strings, one character per scale x scale pixels (. white, r red, b blue,
    g green); the converter takes nothing under 16 x 16 pixels."""
    colours = {".": WHITE, "r": RED, "b": BLUE, "g": GREEN}
    rows = scaled(rows, scale)
    h, w = len(rows), len(rows[0])
    mem = gdal.GetDriverByName("MEM").Create("", w, h, 3, gdal.GDT_Byte)
    for band in range(3):
        data = bytes(colours[c][band] for row in rows for c in row)
        mem.GetRasterBand(band + 1).WriteRaster(0, 0, w, h, data)
    gdal.GetDriverByName("PNG").CreateCopy(path, mem)


# Red: two separate blocks. Blue: a ring round a white hole. Green: two blocks touching at a
# corner only (one region when pixels touching at corners join, as gdal_polygonize.py -8 joins).
PICTURE = [
    "....................",
    ".rrrr...bbbbbb......",
    ".rrrr...b....b......",
    ".rrrr...b....b..gg..",
    "........bbbbbb..gg..",
    "..................gg",
    ".rr...............gg",
    "....................",
]


def dump(map_path):
    return json.loads(run(CLI, "dump", map_path).stdout)["figures"]


def hexcolour(bgr):
    return "" if bgr < 0 else "#%02X%02X%02X" % (bgr & 0xFF, (bgr >> 8) & 0xFF, bgr >> 16)


class ConvertedMap(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cls.png = os.path.join(cls.dir, "shapes.png")
        cls.map = os.path.join(cls.dir, "shapes.MLL")
        write_png(cls.png, PICTURE)
        run(CLI, "convert", cls.png, "--background-at", "0,0", "-o", cls.map)
        cls.figures = dump(cls.map)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def figures_of(self, code):
        return [(i + 1, f) for i, f in enumerate(self.figures) if f["code"] == code]


class Reading(ConvertedMap):
    def test_ogrinfo_lists_five_layers_with_their_counts(self):
        out = run("ogrinfo", "-ro", "-al", "-so", self.map).stdout
        self.assertIn("using driver `MLL'", out)
        polygons = len(self.figures_of(3))
        remarks = len(self.figures_of(1))
        for layer, count in [("polygons", polygons), ("polylines", 0), ("symbols", 0),
                             ("texts", 0), ("remarks", remarks)]:
            self.assertIn(f"Layer name: {layer}\n", out)
        counts = [int(line.split(":")[1]) for line in out.splitlines() if line.startswith("Feature Count")]
        self.assertEqual(counts, [polygons, 0, 0, 0, remarks])
        self.assertIn("欧文地図名=shapes", out)

    def test_each_polygon_is_its_figure_in_degrees_with_colour_and_thing(self):
        ds = ogr.Open(self.map)
        layer = ds.GetLayerByName("polygons")
        srs = layer.GetSpatialRef()
        self.assertEqual(srs.GetAuthorityCode(None), "4326")
        seen = 0
        for feature in layer:
            figure = self.figures[feature.GetFID() - 1]
            self.assertEqual(figure["code"], 3)
            ring = feature.GetGeometryRef().GetGeometryRef(0)
            self.assertEqual(ring.GetPoints(), [(x / 3600, y / 3600) for x, y in figure["points"]])
            self.assertEqual(feature["color"], hexcolour(figure["color"]))
            self.assertEqual(feature["thing"], figure["thing"])
            self.assertEqual(feature["thing_name"], "画像ポリゴン")
            self.assertIn(f"BRUSH(fc:{hexcolour(figure['color'])})", feature.GetStyleString())
            seen += 1
        self.assertEqual(seen, len(self.figures_of(3)))
        self.assertEqual({f["color"] for f in layer}, {"#FF0000", "#0000FF", "#00A000"})

    def test_random_read_and_spatial_filter(self):
        ds = ogr.Open(self.map)
        layer = ds.GetLayerByName("polygons")
        index, figure = self.figures_of(3)[-1]
        self.assertEqual(layer.GetFeature(index)["fig_index"], index)
        self.assertIsNone(layer.GetFeature(1))  # a remark, not a polygon
        xs = [x / 3600 for x, _ in figure["points"]]
        ys = [y / 3600 for _, y in figure["points"]]
        layer.SetSpatialFilterRect(min(xs), min(ys), max(xs), max(ys))
        inside = [f.GetFID() for f in layer]
        self.assertIn(index, inside)
        self.assertLess(len(inside), len(self.figures_of(3)))
        self.assertEqual(layer.GetFeatureCount(), len(inside))

    def test_thing_names_are_empty_without_a_thing_file(self):
        lone = self.path("lone.MLL")
        shutil.copy(self.map, lone)
        ds = ogr.Open(lone)
        feature = ds.GetLayerByName("polygons").GetNextFeature()
        self.assertEqual(feature["thing_name"], "")
        self.assertEqual(feature["thing"], 0)
        # Said, for a missing thing file as for one that is none.
        self.assertIn("lone.THG: no such thing file", run("ogrinfo", "-ro", "-so", lone).stderr)
        with open(self.path("lone.THG"), "wb") as f:
            f.write(bytes(range(256)))
        self.assertIn("lone.THG: not a thing file", run("ogrinfo", "-ro", "-so", lone).stderr)
        # One that cannot be read is told once, in one line with the reason and its line.
        with open(self.path("lone.THG"), "w", encoding="cp932", newline="") as f:
            f.write("[THING]\r\nNUMBER=0\r\nNAME=a\r\n\r\n[THING]\r\nNUMBER=0\r\nNAME=b\r\n")
        stderr = run("ogrinfo", "--config", "MLL_LANGUAGE", "en", "-ro", "-so", lone).stderr
        told = [line for line in stderr.splitlines() if "lone.THG" in line]
        self.assertEqual(len(told), 1, told)
        self.assertIn("The thing number is given twice(Line:", told[0])

    def test_a_map_under_another_name_is_known_by_its_content(self):
        renamed = self.path("renamed.bin")
        shutil.copy(self.map, renamed)
        ds = gdal.OpenEx(renamed, gdal.OF_VECTOR)
        self.assertEqual(ds.GetDriver().ShortName, "MLL")
        self.assertEqual(ds.GetLayerByName("polygons").GetFeatureCount(), len(self.figures_of(3)))

    def test_a_map_in_a_zip_or_in_memory_reads_as_on_the_disk(self):
        zipped = self.path("maps.zip")
        with open(self.path("shapes.THG"), "rb") as f:
            things = f.read().decode("cp932").encode("utf-8")  # as a text editor may save it
        with zipfile.ZipFile(zipped, "w") as z:
            z.write(self.map, "shapes.MLL")
            z.writestr("shapes.THG", things)
        polygons = [i for i, _ in self.figures_of(3)]
        out = run("ogrinfo", "-ro", "-so", f"/vsizip/{zipped}/shapes.MLL", "polygons").stdout
        self.assertIn(f"Feature Count: {len(polygons)}", out)
        ds = ogr.Open(f"/vsizip/{zipped}/shapes.MLL")
        self.assertEqual(ds.GetLayerByName("polygons").GetNextFeature()["thing_name"], "画像ポリゴン")
        with open(self.map, "rb") as f:
            gdal.FileFromMemBuffer("/vsimem/shapes.MLL", f.read())
        try:
            ds = ogr.Open("/vsimem/shapes.MLL")
            self.assertEqual([f.GetFID() for f in ds.GetLayerByName("polygons")], polygons)
            ds = None
        finally:
            gdal.Unlink("/vsimem/shapes.MLL")

    def test_opened_for_update_the_map_reads_quietly_and_refuses_changes(self):
        with open(self.map, "rb") as f:
            before = f.read()
        gdal.ErrorReset()
        ds = gdal.OpenEx(self.map, gdal.OF_VECTOR | gdal.OF_UPDATE)  # as QGIS opens layers
        self.assertEqual(gdal.GetLastErrorMsg(), "")
        layer = ds.GetLayerByName("polygons")
        self.assertIn("欧文地図名: shapes", layer.GetMetadataItem("DESCRIPTION"))
        self.assertEqual(layer.GetMetadataItem("欧文地図名"), "shapes")
        for capability in [ogr.OLCSequentialWrite, ogr.OLCRandomWrite, ogr.OLCDeleteFeature]:
            self.assertFalse(layer.TestCapability(capability))
        feature = layer.GetNextFeature()
        for change in [lambda: layer.SetFeature(feature), lambda: layer.CreateFeature(feature),
                       lambda: layer.DeleteFeature(feature.GetFID())]:
            gdal.ErrorReset()
            self.assertEqual(change(), ogr.OGRERR_UNSUPPORTED_OPERATION)
            self.assertIn("not changed in place", gdal.GetLastErrorMsg())
        ds = None
        point = self.path("point.geojson")
        with open(point, "w") as f:
            f.write('{"type":"FeatureCollection","features":[{"type":"Feature","properties":{},'
                    '"geometry":{"type":"Point","coordinates":[1,2]}}]}')
        for how in [["-append"], ["-append", "-nln", "symbols"], ["-overwrite", "-nln", "symbols"]]:
            p = run("ogr2ogr", *how, self.map, point, ok=False)
            self.assertNotEqual(p.returncode, 0, how)
            self.assertIn("not changed in place", p.stderr, how)
        with open(self.map, "rb") as f:
            self.assertEqual(f.read(), before)

    def test_a_file_named_as_a_map_that_is_none_is_refused_with_the_reason(self):
        fake = self.path("fake.MLL")
        for content in [b"", b"\x01\x00" + b"not a map" * 20]:
            with open(fake, "wb") as f:
                f.write(content)
            p = run("ogrinfo", "-ro", "-so", fake, ok=False)
            self.assertNotEqual(p.returncode, 0)
            self.assertIn("fake.MLL: not a map file this driver can read (", p.stderr)
        with open(self.map, "rb") as f:
            whole = f.read()
        with open(fake, "wb") as f:
            f.write(whole[:40])
        self.assertIn("fake.MLL: Input past end of file (error 62)",
                      run("ogrinfo", "-ro", "-so", fake, ok=False).stderr)

    def test_a_map_of_the_oldest_version_without_a_header_opens(self):
        old = self.path("old.bin")  # known by its first remark, not by its name
        remark = "[投影条件]".encode("cp932")
        with open(old, "wb") as f:
            f.write(struct.pack("<hhh", 1, 0, 6) + remark)  # the projection remark, no header
            f.write(struct.pack("<hhhh4i", 2, 0, 1, 2, 10, 20, 30, 40))  # a line of two points
        ds = gdal.OpenEx(old, gdal.OF_VECTOR, allowed_drivers=["MLL"])
        lines = ds.GetLayerByName("polylines")
        self.assertEqual(lines.GetFeatureCount(), 1)
        line = lines.GetNextFeature()
        self.assertEqual(line.GetGeometryRef().GetPointCount(), 2)


class Writing(ConvertedMap):
    def test_round_trip_through_geopackage_keeps_the_figures(self):
        gpkg, back = self.path("trip.gpkg"), self.path("back.MLL")
        run("ogr2ogr", "-f", "GPKG", gpkg, self.map)
        run("ogr2ogr", "-f", "MLL", back, gpkg, "polygons")
        self.assertTrue(os.path.exists(self.path("back.THG")))
        again = [(f["points"], f["color"], f["thing"]) for f in dump(back) if f["code"] == 3]
        original = [(f["points"], f["color"], f["thing"]) for _, f in self.figures_of(3)]
        self.assertEqual(again, original)

        def identifiers(path):
            ds = ogr.Open(path)
            return [f["fig_id"] for f in ds.GetLayerByName("polygons")]
        # Links from other data to a figure's identifier still find it.
        self.assertEqual(identifiers(back), identifiers(self.map))
        info = run(CLI, "info", back).stdout
        # The header comes back through the GeoPackage's metadata; the file names are the new ones.
        self.assertIn("MapName(1): shapes", info)
        self.assertIn("MapName(2): back.MLL", info)
        self.assertTrue(os.path.exists(self.path("back.qml")))

    def gis_data(self, name):
        """A GeoPackage with a polygon with a hole, a line and a point."""
        gpkg = self.path(name)
        ds = ogr.GetDriverByName("GPKG").CreateDataSource(gpkg)
        srs = osr.SpatialReference()
        srs.ImportFromEPSG(4326)
        layer = ds.CreateLayer("mixed", srs, ogr.wkbUnknown)
        layer.CreateField(ogr.FieldDefn("color", ogr.OFTString))
        half = 2.5 / 3600  # 2.5″: rounds to 2″ (half to even)
        self.assertEqual(half * 3600, 2.5)
        for wkt, colour in [
            ("POLYGON ((0 0,10 0,10 10,0 10,0 0),(2 2,2 4,4 4,4 2,2 2))", "#FF0000"),
            (f"LINESTRING ({half} 1,139.5 35.25)", "#00FF00"),
            ("POINT (-179.5 -89.75)", None),
        ]:
            f = ogr.Feature(layer.GetLayerDefn())
            f.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
            if colour:
                f["color"] = colour
            layer.CreateFeature(f)
        ds = None
        return gpkg

    def test_geopackage_becomes_a_map_the_tools_read(self):
        out = self.path("gis.MLL")
        p = run("ogr2ogr", "-f", "MLL", out, self.gis_data("gis.gpkg"))
        self.assertNotIn("hole", p.stderr)
        figures = [f for f in dump(out) if f["code"] != 1]
        self.assertEqual([f["code"] for f in figures], [3, 2, 4])
        polygon, line, point = figures
        # The hole is kept: one ring walks into it and back, covering the square less the hole.
        pts = polygon["points"]
        self.assertEqual(sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(pts, pts[1:])) / 2,
                         (100 - 4) * 3600 ** 2)
        self.assertEqual(polygon["color"], 0x0000FF)
        self.assertEqual(line["points"], [[2, 3600], [502200, 126900]])
        self.assertEqual(line["color"], 0x00FF00)
        self.assertEqual(point["color"], -1)
        self.assertEqual(point["thing"], polygon["thing"])
        info = run(CLI, "info", out).stdout
        self.assertIn("POLYLINE 1, POLYGON 1, SYMBOL 1", info)
        self.assertIn("Version: 1.06", info)
        # A format of one layer per file gets every kind of figure in one layer.
        geojson = self.path("gis.geojson")
        run(CLI, "export", out, geojson)
        ds = ogr.Open(geojson)
        kinds = [f.GetGeometryRef().GetGeometryName() for f in ds.GetLayer(0)]
        self.assertEqual((ds.GetLayerCount(), kinds), (1, ["POLYGON", "LINESTRING", "POINT"]))

    def test_style_colour_thing_and_admin_fields(self):
        mem = gdal.GetDriverByName("Memory").Create("", 0, 0, 0, gdal.GDT_Unknown)
        layer = mem.CreateLayer("styled", None, ogr.wkbUnknown)
        for name in ["thing", "admin"]:
            layer.CreateField(ogr.FieldDefn(name, ogr.OFTInteger))
        for wkt, style, thing in [("LINESTRING (0 0,1 1)", "PEN(c:#102030,w:2px)", 5),
                                  ("POLYGON ((0 0,1 0,1 1,0 0))", "BRUSH(fc:#A0B0C0);PEN(c:#000000)", None)]:
            f = ogr.Feature(layer.GetLayerDefn())
            f.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
            f.SetStyleString(style)
            f["admin"] = 12
            if thing is not None:
                f["thing"] = thing
            layer.CreateFeature(f)
        out = self.path("styled.MLL")
        told = []
        gdal.PushErrorHandler(lambda kind, number, message: told.append(message))
        try:
            gdal.VectorTranslate(out, mem, format="MLL")
        finally:
            gdal.PopErrorHandler()
        # Thing 5 is none of the template's: its name would be lost without a word.
        self.assertTrue(any("1 figure(s) refer to things the thing file written beside it does not define (5)" in m
                            for m in told), told)
        line, polygon = [f for f in dump(out) if f["code"] != 1]
        self.assertEqual((line["color"], line["thing"], line["admin"]), (0x302010, 5, 12))
        self.assertEqual((polygon["color"], polygon["thing"]), (0xC0B0A0, 0))

    def test_a_map_of_several_kinds_goes_to_a_folder_of_shapefiles(self):
        mixed = self.path("mixed.MLL")
        run("ogr2ogr", "-f", "MLL", mixed, self.gis_data("mixed.gpkg"))
        folder = self.path("shapes")
        run(CLI, "export", mixed, folder, "-f", "ESRI Shapefile")
        ds = gdal.OpenEx(folder, gdal.OF_VECTOR)
        kinds = {ds.GetLayer(i).GetName(): ds.GetLayer(i).GetFeatureCount() for i in range(ds.GetLayerCount())}
        self.assertEqual((kinds["polygons"], kinds["polylines"], kinds["symbols"]), (1, 1, 1))
        # One shapefile holds one kind: refused at once, nothing written.
        p = run(CLI, "export", mixed, self.path("one.shp"), ok=False)
        self.assertIn("name a folder", p.stderr)
        self.assertFalse(os.path.exists(self.path("one.shp")))

    def test_version_option_and_projected_data(self):
        out = self.path("old.MLL")
        p = run("ogr2ogr", "-f", "MLL", "-dsco", "VERSION=104", out, self.gis_data("v.gpkg"))
        self.assertIn("Version: 1.04", run(CLI, "info", out).stdout)
        self.assertIn("keeps no colour", p.stderr)
        # Version 1.05 keeps a figure's own colour, and is not said to lose it.
        p = run("ogr2ogr", "-f", "MLL", "-dsco", "VERSION=105", self.path("v105.MLL"), self.path("v.gpkg"))
        self.assertNotIn("colour", p.stderr)
        self.assertEqual([f["color"] for f in dump(self.path("v105.MLL")) if f["code"] == 3], [0x0000FF])
        # It stores no figure identifier: none is shown, rather than one made anew at each reading.
        v105 = ogr.Open(self.path("v105.MLL"))
        self.assertFalse(any(f.IsFieldSetAndNotNull("fig_id") or f.IsFieldSetAndNotNull("fig_date")
                            for f in v105.GetLayerByName("polygons")))
        projected = self.path("utm.gpkg")
        run("ogr2ogr", "-f", "GPKG", "-t_srs", "EPSG:3857", projected, self.gis_data("p.gpkg"))
        p = run("ogr2ogr", "-f", "MLL", self.path("utm.MLL"), projected, ok=False)
        self.assertNotEqual(p.returncode, 0)
        self.assertIn("-t_srs EPSG:4326", p.stderr)
        # With -skipfailures the layers in degrees are written without it, and it is named.
        both = self.path("both.gpkg")
        run("ogr2ogr", "-f", "GPKG", both, self.path("p.gpkg"), "-nln", "degrees")
        run("ogr2ogr", "-update", "-f", "GPKG", both, projected, "-nln", "metres")
        p = run("ogr2ogr", "-skipfailures", "-f", "MLL", self.path("both.MLL"), both, "metres", "degrees")
        self.assertIn("without layer metres", p.stderr)
        self.assertEqual(len([f for f in dump(self.path("both.MLL")) if f["code"] == 3]), 1)
        # An x/y map holds whole units: degrees are refused, metres are written and said to be.
        p = run("ogr2ogr", "-f", "MLL", self.path("deg.MXY"), self.gis_data("p.gpkg"), ok=False)
        self.assertNotEqual(p.returncode, 0)
        self.assertIn("rounded to a whole degree", p.stderr)
        self.assertFalse(os.path.exists(self.path("deg.MXY")))
        p = run("ogr2ogr", "-f", "MLL", self.path("web.MXY"), projected)
        self.assertIn("keeps no CRS", p.stderr)

    def test_a_world_file_in_metres_is_read_through_the_crs_beside_it(self):
        picture = self.path("web.png")
        write_png(picture, PICTURE, scale=4)

        def convert(terms, epsg, out):
            with open(self.path("web.pgw"), "w") as f:
                f.write("\n".join(terms) + "\n")
            srs = osr.SpatialReference()
            srs.ImportFromEPSG(epsg)
            with open(self.path("web.prj"), "w") as f:
                f.write(srs.ExportToWkt())
            return run(CLI, "convert", picture, "--world-file", "--background", "FFFFFF", "-o", self.path(out)).stdout

        out = convert(["100000", "0", "0", "-100000", "14000000", "4000000"], 3857, "web.MLL")
        self.assertIn("warped:", out)
        self.assertIn("west E125°", out)
        # Degrees with a longitude/latitude CRS stay as they are, pixel for pixel.
        out = convert(["0.5", "0", "0", "-0.5", "125.25", "35.75"], 4326, "deg.MLL")
        self.assertNotIn("warped:", out)
        self.assertIn("west E125°00′00″", out)

    def test_point_outside_the_world_is_refused(self):
        geojson = self.path("far.geojson")
        with open(geojson, "w") as f:
            f.write('{"type":"FeatureCollection","features":[{"type":"Feature","properties":{},'
                    '"geometry":{"type":"Point","coordinates":[181,0]}}]}')
        p = run("ogr2ogr", "-f", "MLL", self.path("far.MLL"), geojson, ok=False)
        self.assertNotEqual(p.returncode, 0)
        self.assertIn("outside the map's range", p.stderr)


class WritingBack(ConvertedMap):
    """What ogr2ogr and QGIS meet when they write a map: the old map is never lost, and every
    failure and every loss is told."""

    def geojson(self, name, features):
        path = self.path(name)
        with open(path, "w") as f:
            json.dump({"type": "FeatureCollection", "features": [
                {"type": "Feature", "properties": props, "geometry": geom}
                for props, geom in features]}, f)
        return path

    def point(self, x, y=0):
        return {"type": "Point", "coordinates": [x, y]}

    def bytes_of(self, path):
        with open(path, "rb") as f:
            return f.read()

    def test_the_map_written_over_is_kept_and_a_stopped_translation_leaves_it(self):
        out = self.path("over.MLL")
        shutil.copy(self.map, out)
        old = self.bytes_of(out)
        seven = self.geojson("seven.geojson", [({}, self.point(181 if i == 1 else i)) for i in range(7)])
        p = run("ogr2ogr", "-f", "MLL", out, seven, ok=False)
        self.assertNotEqual(p.returncode, 0)
        self.assertIn("not written", p.stderr)
        self.assertEqual(self.bytes_of(out), old)
        # With -skipfailures the others are written, and the old map is kept as a backup.
        run("ogr2ogr", "-skipfailures", "-f", "MLL", out, seven)
        self.assertEqual(len([f for f in dump(out) if f["code"] == 4]), 6)
        backups = [n for n in os.listdir(self.dir) if n.startswith("over-") and n.endswith(".MLL")]
        self.assertEqual([self.bytes_of(self.path(n)) for n in backups], [old])

    def test_a_map_written_through_a_link_keeps_its_companions_beside_the_linked_file(self):
        os.makedirs(self.path("real"))
        shutil.copy(self.map, self.path("real/m.MLL"))
        os.symlink("real/m.MLL", self.path("m.MLL"))
        seven = self.geojson("pts.geojson", [({}, self.point(i)) for i in range(3)])
        run("ogr2ogr", "-f", "MLL", self.path("m.MLL"), seven)
        self.assertTrue(os.path.islink(self.path("m.MLL")))
        self.assertEqual(sorted(n for n in os.listdir(self.dir) if n.startswith("m.")), ["m.MLL"])
        self.assertTrue(os.path.exists(self.path("real/m.THG")))
        p = run("ogrinfo", "-ro", "-so", self.path("m.MLL"))
        self.assertNotIn("thing file", p.stderr)

    def test_what_no_figure_can_hold_is_told_once_per_layer(self):
        path = self.geojson("losses.geojson", [
            ({"color": "#GGHHII"}, self.point(1)),
            ({"color": "#ff00ff80"}, self.point(2)),
            ({}, None),
            ({}, {"type": "LineString", "coordinates": [[1, 1]]}),
            ({}, {"type": "Point", "coordinates": [3, 3, 120]}),
            ({"text": "Zürich ☃", "text_latin": "Zurich"}, self.point(4)),
            ({"text": "東京", "text_latin": "Zürich"}, self.point(5)),
            ({"text": "東京", "text_latin": "To^kyo^", "thing": "", "admin": ""}, self.point(6)),
            ({}, {"type": "LineString", "coordinates": [[100, 10], [100.00001, 10]]}),
            ({}, {"type": "LineString", "coordinates": [[7, 7], [7, 7]]}),  # a map's own: kept
            ({}, {"type": "GeometryCollection", "geometries": []}),
            ({"text": "角", "angle": "abc", "text_fix": -5, "show_mode": 7}, self.point(8)),
            ({"text": "角", "angle": 45.4, "text_fix": 3}, self.point(9)),
            ({"text": "川"}, {"type": "LineString", "coordinates": [[1, 1], [2, 2]]}),
            ({}, {"type": "Polygon", "coordinates": [[[20, 20], [21, 20], [22, 20], [20, 20]]]}),  # flat
            ({}, {"type": "Polygon", "coordinates": [[[30, 30], [31, 31], [30, 30], [30, 30]]]}),  # a spike
        ])
        p = run("ogr2ogr", "-f", "MLL", self.path("losses.MLL"), path)
        self.assertEqual(p.stderr.count("layer losses:"), 1, p.stderr)
        for told in ["1 feature(s) without geometry", "2 line(s) of one point",
                     "1 feature(s) of an empty geometry",
                     "1 colour(s) that are not #RRGGBB", "1 colour(s) stored without their transparency",
                     "1 feature(s) stored without their Z or M values",
                     "1 text(s) with characters a map file cannot hold",
                     "3 value(s) that are no whole number in range, ignored (angle 1, show_mode 1, "
                     "text_fix 1; the first in feature 12)",
                     "1 text(s) of features without a point, not stored",
                     "2 polygon(s) without area left out"]:
            self.assertIn(told, p.stderr)
        # An empty cell is no value: the figure takes the default thing, not a refusal.
        figures = dump(self.path("losses.MLL"))
        self.assertEqual(len([f for f in figures if f["code"] == 2]), 2)  # [7 7] and the river
        texts = [f for f in figures if f["code"] == 5]
        self.assertEqual([(t["text1"], t["text2"], t["thing"]) for t in texts[:3]],
                         [("Zurich", "Z?rich ?", 0), ("Zürich", "東京", 0), ("Tôkyô", "東京", 0)])
        # "abc" is no angle of 0 a user gave; the values in range are kept.
        self.assertEqual([(t["angle"], t["fix"]) for t in texts[3:]], [(0, 0), (45, 3)])
        # Copied map to map, a text drawn in its thing's colour does not take that colour as its own.
        run("ogr2ogr", "-f", "MLL", self.path("again.MLL"), self.path("losses.MLL"))
        self.assertEqual({f["color"] for f in dump(self.path("again.MLL")) if f["code"] == 5}, {-1})

    def test_the_driver_speaks_english_unless_the_locale_is_japanese(self):
        target = self.path("readonly.MLL")
        run("ogr2ogr", "-f", "MLL", target, self.map)
        os.chmod(target, 0o444)
        try:
            for lang, words in [("C.UTF-8", "is a read-only file."), ("ja_JP.UTF-8", "は読み取り専用ファイルです.")]:
                env = {k: v for k, v in os.environ.items() if k not in ("LC_ALL", "LC_MESSAGES")}
                env["LANG"] = lang
                p = subprocess.run(["ogr2ogr", "-f", "MLL", target, self.map], env=env,
                                   capture_output=True, text=True)
                self.assertIn(words, p.stderr)
        finally:
            os.chmod(target, 0o644)

    def rasterized(self, path, layer):
        """The layer burnt onto a 0.01° grid over 0..12°, at pixel centres."""
        mem = gdal.GetDriverByName("MEM").Create("", 1200, 1200, 1, gdal.GDT_Byte)
        mem.SetGeoTransform([0, 0.01, 0, 12, 0, -0.01])
        mem.SetProjection("EPSG:4326")
        gdal.Rasterize(mem, path, layers=[layer], burnValues=[1])
        return mem.GetRasterBand(1).ReadRaster()

    def test_holes_and_islands_fill_exactly_what_they_did(self):
        src = self.path("holes.gpkg")
        ds = ogr.GetDriverByName("GPKG").CreateDataSource(src)
        srs = osr.SpatialReference()
        srs.ImportFromEPSG(4326)
        layer = ds.CreateLayer("areas", srs, ogr.wkbMultiPolygon)
        f = ogr.Feature(layer.GetLayerDefn())
        f.SetGeometry(ogr.CreateGeometryFromWkt(
            "MULTIPOLYGON (((0 0,10 0,10 10,0 10,0 0),(1 1,3 1,2 3,1 1),(4 4,9 4,9 9,4 9,4 4),"
            "(5.5 1,8 1,8 2.5,5.5 1)),((6 6,7 6,7 7,6 7,6 6)),((11 11,12 11,12 12,11 12,11 11)))"))
        layer.CreateFeature(f)
        ds = None
        expected = self.rasterized(src, "areas")
        for forced in [[], ["-nlt", "POLYGON"]]:
            out = self.path("holes.MLL")
            p = run("ogr2ogr", *forced, "-f", "MLL", out, src)
            self.assertNotIn("hole", p.stderr)
            self.assertEqual(self.rasterized(out, "polygons"), expected, forced)
            # Our own renderer fills them the same way.
            png = self.path("holes.png")
            run(CLI, "render", "--overwrite", "--area", "0,12,12,0", "--width", "240", out, png)
            drawn = gdal.Open(png)
            alpha = drawn.GetRasterBand(4).ReadRaster()  # 240 x 240: drawn or not
            self.assertEqual(alpha[120 * 240 + 10], 255)   # inside the outline (0.5°E, 6°N)
            self.assertEqual(alpha[80 * 240 + 100], 0)     # in the large hole (5°E, 8°N)
            self.assertEqual(alpha[110 * 240 + 130], 255)  # on the island in it (6.5°E, 6.5°N)

    def test_a_neck_narrower_than_an_arc_second_parts_the_polygon_into_valid_ones(self):
        """The neck closes on the grid: one ring passing a corner twice read back as invalid."""
        src = self.path("neck.geojson")
        with open(src, "w") as f:
            f.write('{"type":"FeatureCollection","features":[{"type":"Feature","properties":{},'
                    '"geometry":{"type":"Polygon","coordinates":[[[133,30],[134,30],[134,31],[135,31],'
                    '[135,32],[134.00001,32],[134.00001,31.00001],[133,31],[133,30]]]}}]}')
        out = self.path("neck.MLL")
        run("ogr2ogr", "-f", "MLL", out, src)
        ds = ogr.Open(out)
        polygons = [f.GetGeometryRef().Clone() for f in ds.GetLayerByName("polygons")]
        self.assertEqual(len(polygons), 2)
        self.assertTrue(all(g.IsValid() for g in polygons))
        self.assertAlmostEqual(sum(g.GetArea() for g in polygons), 2.0, places=9)

    def test_a_map_is_written_into_gdals_virtual_file_systems(self):
        src = self.geojson("one.geojson", [({}, self.point(1))])
        gdal.VectorTranslate("/vsimem/maps/one.MLL", src, format="MLL")
        self.assertEqual(sorted(gdal.ReadDir("/vsimem/maps")), ["one.MLL", "one.THG", "one.qml"])
        disk = self.path("one.MLL")
        gdal.VectorTranslate(disk, src, format="MLL")
        self.assertEqual(gdal.VSIStatL("/vsimem/maps/one.MLL").size, os.path.getsize(disk))
        for name in gdal.ReadDir("/vsimem/maps"):
            gdal.Unlink("/vsimem/maps/" + name)

    def test_a_round_trip_keeps_texts_header_and_things_and_tells_the_rest(self):
        # A text figure and the map's own header, through GeoPackage and back.
        src = self.geojson("label.geojson", [
            ({"text": "東京", "text_latin": "Tokyo", "angle": 30, "name": "capital"}, self.point(139.7, 35.7)),
            ({"thing": "abc"}, self.point(1)),
        ])
        first = self.path("label.MLL")
        p = run("ogr2ogr", "-skipfailures", "-f", "MLL", first, src)
        self.assertIn("thing 'abc' is not a number from 0 to 999", p.stderr)
        self.assertIn("not stored: name", p.stderr)
        gpkg, back = self.path("label.gpkg"), self.path("label_back.MLL")
        run("ogr2ogr", "-f", "GPKG", gpkg, first)
        run("ogr2ogr", "-f", "MLL", back, gpkg)
        texts = [f for f in dump(back) if f["code"] == 5]
        self.assertEqual(len(texts), 1)
        self.assertIn("MapName(1): label\n", run(CLI, "info", back).stdout)
        # Map to map keeps the source's own thing file.
        with open(self.path("label.THG"), "a", encoding="cp932", newline="") as f:
            f.write("[THING]\r\nNUMBER=777\r\nNAME=手書きの事象\r\nFIGURE=4\r\nCATEGORY=1\r\n")
        again = self.path("again.MLL")
        run("ogr2ogr", "-f", "MLL", again, first)
        with open(self.path("again.THG"), encoding="cp932") as f:
            self.assertIn("手書きの事象", f.read())
        # Through a GeoPackage written from the map's folder by a relative name, and read back
        # from another folder that holds a thing file of the same name: the map's own is kept.
        os.makedirs(self.path("elsewhere"))
        with open(self.path("elsewhere/label.THG"), "w", encoding="cp932", newline="") as f:
            f.write("[THING]\r\nNUMBER=778\r\nNAME=別の地図の事象\r\nFIGURE=4\r\nCATEGORY=1\r\n")
        subprocess.run(["ogr2ogr", "-f", "GPKG", "carried.gpkg", "label.MLL"], cwd=self.dir, check=True)
        subprocess.run(["ogr2ogr", "-f", "MLL", "far.MLL", "../carried.gpkg"], cwd=self.path("elsewhere"),
                       check=True, capture_output=True)
        with open(self.path("elsewhere/far.THG"), encoding="cp932") as f:
            self.assertIn("手書きの事象", f.read())

    def test_a_place_that_cannot_be_written_fails_at_once(self):
        src = self.geojson("one.geojson", [({}, self.point(1))])
        for out in [self.path("no/such/folder.MLL"), self.dir]:
            with self.assertRaises(RuntimeError):
                gdal.VectorTranslate(out, src, format="MLL")
        self.assertFalse(os.path.exists(self.path("no")))

    def test_a_datum_other_than_wgs84_is_refused_one_within_a_metre_taken(self):
        src = self.geojson("jp.geojson", [({}, self.point(139.7, 35.7))])
        for epsg, taken in [(4301, False), (6668, True)]:
            gpkg = self.path(f"jp{epsg}.gpkg")
            run("ogr2ogr", "-f", "GPKG", "-a_srs", f"EPSG:{epsg}", gpkg, src)
            out = self.path(f"jp{epsg}.MLL")
            p = run("ogr2ogr", "-f", "MLL", out, gpkg, ok=taken)
            self.assertEqual(os.path.exists(out), taken, p.stderr)
            if not taken:
                self.assertIn("-t_srs EPSG:4326", p.stderr)
        # GeoPackage's placeholder for no CRS says no more than a shapefile without its .prj.
        gpkg = self.path("nocrs.gpkg")
        ds = ogr.GetDriverByName("GPKG").CreateDataSource(gpkg)
        layer = ds.CreateLayer("nocrs", None, ogr.wkbPoint)
        f = ogr.Feature(layer.GetLayerDefn())
        f.SetGeometry(ogr.CreateGeometryFromWkt("POINT (139.7 35.7)"))
        layer.CreateFeature(f)
        ds = None
        run("ogr2ogr", "-f", "MLL", self.path("nocrs.MLL"), gpkg)
        written = ogr.Open(self.path("nocrs.MLL"))
        self.assertEqual(written.GetLayerByName("symbols").GetFeatureCount(), 1)


def signed_area(ring):
    pts = ring.GetPoints()
    return sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(pts, pts[1:])) / 2


class Export(ConvertedMap):
    def test_every_format_holds_the_polygons(self):
        polygons = self.figures_of(3)
        for name in ["m.gpkg", "m.fgb", "m.shp", "m.geojson", "m.tab"]:
            out = self.path(name)
            p = run(CLI, "export", self.map, out)
            self.assertIn(f"{len(polygons)} features", p.stdout)
            ds = ogr.Open(out)
            layer = ds.GetLayer(0)
            self.assertEqual(layer.GetFeatureCount(), len(polygons), name)
            index, figure = polygons[0]
            layer.SetAttributeFilter(f"fig_index = {index}")  # FlatGeobuf sorts by place
            feature = layer.GetNextFeature()
            ring = feature.GetGeometryRef().GetGeometryRef(0)
            seconds = {(round(x * 3600), round(y * 3600)) for x, y in ring.GetPoints()}
            self.assertEqual(seconds, {tuple(p) for p in figure["points"]}, name)
            self.assertEqual(feature["color"], hexcolour(figure["color"]), name)
            self.assertEqual(feature["thing_name"], "画像ポリゴン", name)
            if name.endswith(".geojson"):
                self.assertGreater(signed_area(ring), 0)  # RFC 7946: counter-clockwise
        # A CAD format keeps no fields of ours: the figures go all the same, with a warning.
        p = run(CLI, "export", self.map, self.path("m.dxf"))
        self.assertIn("DXF holds no fields of ours", p.stderr)
        ds = ogr.Open(self.path("m.dxf"))
        self.assertEqual(ds.GetLayer(0).GetFeatureCount(), len(polygons))

    def test_gdal_tools_carry_every_identifier_into_fixed_width_formats(self):
        source = ogr.Open(self.map)
        ids = sorted(f["fig_id"] for f in source.GetLayerByName("polygons"))
        self.assertGreater(ids[0], 1e14)
        for name, driver in [("d.tab", "MapInfo File"), ("d.shp", "ESRI Shapefile")]:
            run("ogr2ogr", "-f", driver, self.path(name), self.map, "polygons")
            ds = ogr.Open(self.path(name))
            self.assertEqual(sorted(f["fig_id"] for f in ds.GetLayer(0)), ids, name)

    def test_an_existing_output_needs_overwrite(self):
        out = self.path("again.gpkg")
        run(CLI, "export", self.map, out)
        p = run(CLI, "export", self.map, out, ok=False)
        self.assertEqual(p.returncode, 1)
        self.assertIn(out, p.stderr)
        run(CLI, "export", self.map, out, "--overwrite", "-f", "GPKG")
        ds = ogr.Open(out)
        self.assertEqual(ds.GetLayerCount(), 1)
        self.assertEqual(ds.GetLayer(0).GetFeatureCount(), len(self.figures_of(3)))

    def test_several_kinds_in_one_named_layer_are_declared_as_any_geometry(self):
        mixed = self.path("mixed.geojson")
        with open(mixed, "w") as f:
            json.dump({"type": "FeatureCollection", "features": [
                {"type": "Feature", "properties": {}, "geometry": g} for g in (
                    {"type": "Point", "coordinates": [6, 0]},
                    {"type": "LineString", "coordinates": [[1, 1], [2, 2]]},
                    {"type": "Polygon", "coordinates": [[[0, 0], [1, 0], [1, 1], [0, 0]]]})]}, f)
        run("ogr2ogr", "-f", "MLL", self.path("mixed.MLL"), mixed)
        p = run(CLI, "export", self.path("mixed.MLL"), self.path("one.gpkg"), "--nln", "all")
        self.assertNotIn("not normally allowed", p.stderr)
        ds = ogr.Open(self.path("one.gpkg"))
        layer = ds.GetLayerByName("all")
        self.assertEqual(layer.GetGeomType(), ogr.wkbUnknown)
        self.assertEqual(layer.GetFeatureCount(), 3)

    def polygonize_regions(self):
        """Regions of each colour of the picture, by gdal_polygonize.py -8."""
        index = {".": 0, "r": 1, "b": 2, "g": 3}
        rows = scaled(PICTURE, 2)
        raster = self.path("classes.tif")
        ds = gdal.GetDriverByName("GTiff").Create(raster, len(rows[0]), len(rows), 1, gdal.GDT_Byte)
        ds.GetRasterBand(1).WriteRaster(0, 0, len(rows[0]), len(rows),
                                        bytes(index[c] for row in rows for c in row))
        ds = None
        shapes = self.path("classes.gpkg")
        run("gdal_polygonize.py", "-8", "-q", raster, "-f", "GPKG", shapes, "regions", "DN")
        ds = ogr.Open(shapes)
        counts = {}
        for f in ds.GetLayer(0):
            if f["DN"] != 0:
                counts[f["DN"]] = counts.get(f["DN"], 0) + 1
        return {"#FF0000": counts[1], "#0000FF": counts[2], "#00A000": counts[3]}

    def test_dissolve_gives_the_regions_of_the_picture(self):
        out = self.path("regions.gpkg")
        p = run(CLI, "export", self.map, out, "--dissolve")
        self.assertIn(f"dissolved from {len(self.figures_of(3))} polygons", p.stdout)
        ds = ogr.Open(out)
        counts, holes = {}, {}
        for f in ds.GetLayer(0):
            counts[f["color"]] = counts.get(f["color"], 0) + 1
            holes[f["color"]] = f.GetGeometryRef().GetGeometryCount() - 1
        self.assertEqual(counts, self.polygonize_regions())
        self.assertEqual(counts, {"#FF0000": 2, "#0000FF": 1, "#00A000": 1})
        self.assertEqual(holes["#0000FF"], 1)
        self.assertEqual(holes["#FF0000"], 0)


if __name__ == "__main__":
    unittest.main()
