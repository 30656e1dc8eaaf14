"""A map file as a QGIS user meets it (PyQGIS, headless): it opens as layers of the map file
driver, in its own colours, without a word on the terminal. Run by ctest with PICMAP_CLI and
GDAL_DRIVER_PATH set; skipped where QGIS's Python bindings are not installed."""
import os
import shutil
import subprocess
import tempfile
import unittest

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
try:
    from qgis.core import (QgsApplication, QgsMapRendererParallelJob, QgsMapSettings,
                           QgsVectorLayer)
    from qgis.PyQt.QtCore import QSize
    from qgis.PyQt.QtGui import QColor
except ImportError:
    QgsApplication = None

CLI = os.environ.get("PICMAP_CLI", "picmap-cli")


@unittest.skipIf(QgsApplication is None, "QGIS's Python bindings are not installed")
class OpenedInQgis(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cls.app = QgsApplication([], False)
        cls.app.initQgis()
        # A picture of a red block left and a blue block right on white.
        from osgeo import gdal
        mem = gdal.GetDriverByName("MEM").Create("", 40, 20, 3, gdal.GDT_Byte)
        for band, values in enumerate([(255, 0), (0, 0), (0, 255)]):
            row = bytes([255] * 2 + [values[0]] * 16 + [255] * 4 + [values[1]] * 16 + [255] * 2)
            mem.GetRasterBand(band + 1).WriteRaster(0, 0, 40, 20, row * 20)
        png = os.path.join(cls.dir, "blocks.png")
        gdal.GetDriverByName("PNG").CreateCopy(png, mem)
        cls.map = os.path.join(cls.dir, "blocks.MLL")
        subprocess.run([CLI, "convert", png, "--background-at", "0,0", "-o", cls.map],
                       check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        cls.app.exitQgis()
        shutil.rmtree(cls.dir)

    def test_the_map_opens_in_its_own_colours(self):
        layer = QgsVectorLayer(self.map + "|layername=polygons", "blocks", "ogr")
        self.assertTrue(layer.isValid())
        self.assertEqual(layer.dataProvider().storageType(), "MLL")
        self.assertEqual(layer.renderer().type(), "embeddedSymbol")
        settings = QgsMapSettings()
        settings.setLayers([layer])
        settings.setExtent(layer.extent())
        settings.setOutputSize(QSize(400, 200))
        job = QgsMapRendererParallelJob(settings)
        job.start()
        job.waitForFinished()
        image = job.renderedImage()
        self.assertEqual(QColor(image.pixel(100, 100)).name(), "#ff0000")
        self.assertEqual(QColor(image.pixel(300, 100)).name(), "#0000ff")


if __name__ == "__main__":
    unittest.main()
