// The conversion keeps generated rectangles as compact records of the document and merges them
// in place. Here it is held against the plain way on random pictures: polygon figures added
// one by one, merged by the literal rule through the figure interface, the map cleared and
// the survivors added back. The saved files must be equal byte for byte, and a cancelled
// compression must leave the same marks and bottoms.
#include <random>

#include <QImage>

#include "app/picture_loader.h"
#include "app_fixture.h"
#include "map/clsMapPolygon.h"
#include "map/clsMapRem.h"
#include "map_reading.h"
#include "support/numeric.h"

namespace picmap::test {
namespace {

constexpr int32_t kFullSpan = 1296000;

// Blocks of a few colours with some noise: runs stack, merge, and break at colour changes.
Picture RandomPicture(std::mt19937& rng, int32_t w, int32_t h) {
  const int32_t palette[] = {0xFFFFFF, 0x0000FF, 0x00FF00, 0x123456, 0x12345F};
  Picture p(w, h, 0xFFFFFF);
  for (int blocks = 0; blocks < 12; ++blocks) {
    const int32_t x0 = static_cast<int32_t>(rng() % w), y0 = static_cast<int32_t>(rng() % h);
    const int32_t x1 = std::min(w, x0 + 1 + static_cast<int32_t>(rng() % 120));
    const int32_t y1 = std::min(h, y0 + 1 + static_cast<int32_t>(rng() % 90));
    const int32_t c = palette[rng() % 5];
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x1; ++x) p.Set(x, y, c);
  }
  for (int noise = 0; noise < w * h / 50; ++noise)
    p.Set(static_cast<int32_t>(rng() % w), static_cast<int32_t>(rng() % h), palette[rng() % 5]);
  return p;
}

// The same picture as a palette picture (one index per pixel), as palette PNG and GIF files are
// read.
Picture AsPalettePicture(const Picture& p) {
  QImage img(p.width, p.height, QImage::Format_Indexed8);
  QList<QRgb> table;
  for (int32_t y = 0; y < p.height; ++y) {
    for (int32_t x = 0; x < p.width; ++x) {
      const QRgb c = RgbFromColour(p.At(x, y));
      qsizetype k = table.indexOf(c);
      if (k < 0) {
        k = table.size();
        table.push_back(c);
        img.setColorTable(table);
      }
      img.setPixel(x, y, static_cast<uint>(k));
    }
  }
  return PictureFromImage(img);
}

int32_t ToneMaskOf(int16_t tone) { return tone == 0 ? 0 : (0x010101 << tone) - 0x010101; }

// Generation's polygons as the conversion rule reads, one polygon figure each.
class LiteralGeneration {
 public:
  LiteralGeneration(clsMap& map, const ConversionState& s, const Picture& pic)
      : map_(map), s_(s), pic_(pic) {
    eastW_ = s.east > s.west ? s.east : s.east + kFullSpan;
    pw_ = static_cast<double>(eastW_ - s.west) / pic.width;
    ph_ = static_cast<double>(s.north - s.south) / pic.height;
  }
  void Run() {
    const int32_t mask = ToneMaskOf(s_.toneIndex);
    for (int32_t i = 0; i < pic_.height; ++i) {
      const int32_t top = s_.north - CLng((i + 0.03) * ph_);
      top_ = std::min(top, 323985);
      bottom_ = std::max(top - CLng(ph_ * 1.06), -323985);
      int32_t run = -1, start = 0;
      for (int32_t j = 0; j <= pic_.width; ++j) {
        int32_t v = -1;
        if (j < pic_.width) {
          const int32_t c = pic_.At(j, i);
          v = c == s_.backColor ? -1 : (c | mask);
        }
        if (j == 0) {
          run = v;
        } else if (j % 45 == 0 || v != run || j == pic_.width) {
          Emit(start, j, run);
          run = v;
          start = j;
        }
      }
    }
  }

 private:
  void Emit(int32_t s, int32_t j, int32_t colour) {
    int32_t left = CLng((s - 0.03) * pw_) + s_.west;
    const int32_t right = j < pic_.width ? CLng((j + 0.03) * pw_ + 1) + s_.west : eastW_;
    if (colour == -1) return;
    auto wrap = [](int32_t v) { return v > 648000 ? v - kFullSpan : v; };
    auto lo = [](int32_t v) { return v <= -648000 ? -647999 : v; };
    auto hi = [](int32_t v) { return v >= 648000 ? 647999 : v; };
    if (left < 648000 && right > 648000) {
      Add(lo(wrap(left)), 647999, colour);
      Add(lo(wrap(648001)), hi(wrap(right)), colour);
      return;
    }
    if (left >= 648000 && right > 648000) left -= kFullSpan;  // a run starting on 180°
    Add(lo(wrap(left)), hi(wrap(right)), colour);
  }
  void Add(int32_t left, int32_t right, int32_t colour) {
    auto fig = std::make_shared<clsMapPolygon>();
    fig->Admin(0);
    fig->Thing(s_.imagePolygonThing);
    fig->OwnColor(colour);
    clsPoly& p = *fig->Poly();
    p.AddXandY(left, top_);
    p.AddXandY(right, top_);
    p.AddXandY(right, bottom_);
    p.AddXandY(left, bottom_);
    p.AddXandY(left, top_);
    ASSERT_TRUE(map_.Add(fig));
  }

  clsMap& map_;
  const ConversionState& s_;
  const Picture& pic_;
  int32_t eastW_ = 0, top_ = 0, bottom_ = 0;
  double pw_ = 0, ph_ = 0;
};

// The merge rule literally, figure by figure; `cancelAt` stops it before that outer step.
int32_t LiteralCompress(clsMap& map, int32_t cancelAt = 0) {
  const int32_t n = map.Count();
  std::vector<std::shared_ptr<clsMapFigure>> fig(static_cast<size_t>(n) + 1);
  for (int32_t i = 1; i <= n; ++i) {
    fig[i] = map.Item(i);
    fig[i]->OwnShowMode(fig[i]->FigCode() == figcode::kPolygon ? -1 : 1);
  }
  for (int32_t d = 1; d <= n - 1; ++d) {
    if (d == cancelAt) return -1;
    if (fig[d]->OwnShowMode() != -1) continue;
    std::shared_ptr<clsPoly> p = fig[d]->Poly();
    const int32_t k = fig[d]->OwnColor(), x1 = p->x(1), x2 = p->x(2);
    int32_t w = p->y(3), merged = 0;
    for (int32_t i = d + 1; i <= n; ++i) {
      if (fig[i]->OwnShowMode() != -1) continue;
      std::shared_ptr<clsPoly> q = fig[i]->Poly();
      if (q->y(1) < w) break;
      if (q->y(3) >= w) continue;
      if (q->x(1) != x1) {
        if (q->x(1) > x1) break;
        continue;
      }
      if (q->x(2) != x2 || fig[i]->OwnColor() != k) continue;
      w = q->y(3);
      p->y(3, w);
      p->y(4, w);
      fig[i]->OwnShowMode(0);
      if (++merged == 45) break;
    }
  }
  map.Clear();
  for (int32_t i = 1; i <= n; ++i) {
    if (fig[i]->OwnShowMode() == 0) continue;
    fig[i]->OwnShowMode(-1);
    map.Add(fig[i]);
  }
  return n - map.Count();
}

std::string FileBytes(const std::u16string& path) {
  std::ifstream in(ToUtf8(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class IdentityTest : public AppTest {
 protected:
  // Generates the picture with the conversion and, drawing the same identifiers, the plain
  // document beside it.
  void Generate(const Picture& pic, std::mt19937& rng) {
    ASSERT_TRUE(logic->Form_Load());
    Open(pic);
    if (rng() % 2) SetExtents(612000, -612000, 200000, -100000);  // across 180°
    ConversionState& s = logic->MutableState();
    s.toneIndex = static_cast<int16_t>(rng() % 5);
    s.backColor = rng() % 2 ? 0xFFFFFF : -1;
    const std::minstd_rand ids = FigureIdSequence();
    logic->mnuPolygon_Click();
    ASSERT_EQ(win.LastMessage(), frmtext::kPolygonDone);
    const std::minstd_rand after = FigureIdSequence();

    SetFigureIdSequence(ids);
    for (int32_t i = 1; i <= 19; ++i) plain.Add(NewRemark(CommentAt(Map(), i)));
    LiteralGeneration(plain, s, pic).Run();
    plain.Add(NewRemark(u""));
    plain.Add(NewRemark(u"/ end of file"));
    ASSERT_TRUE(FigureIdSequence() == after);
  }
  clsMap& Map() { return *logic->State().oMap; }

  void ExpectSameFiles() {
    const std::string n = std::to_string(++saves);
    Map().FileName(folder.File("compact" + n + ".MLL"));
    plain.FileName(folder.File("plain" + n + ".MLL"));
    const std::minstd_rand ids = FigureIdSequence();
    ASSERT_EQ(Map().Save(), 0);
    SetFigureIdSequence(ids);
    ASSERT_EQ(plain.Save(), 0);
    const std::string a = FileBytes(Map().FileName()), b = FileBytes(plain.FileName());
    EXPECT_GT(a.size(), 100u);
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    EXPECT_TRUE(a == b) << "files of " << a.size() << " and " << b.size()
                        << " bytes differ from byte " << at;
  }

  clsMap plain;
  int saves = 0;
};

TEST_F(IdentityTest, GenerationCompressionAndSaveWriteThePlainFile) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    Picture pic = RandomPicture(rng, 60 + static_cast<int32_t>(rng() % 200),
                                20 + static_cast<int32_t>(rng() % 150));
    if (seed % 2) pic = AsPalettePicture(pic);
    ASSERT_EQ(pic.IsIndexed(), seed % 2 == 1);
    logic->SetEventInterval(std::chrono::milliseconds(30));  // rows scanned run by run
    logic->CompressAlongGeneration(seed > 3);  // the command line's way for half the pictures
    Generate(pic, rng);
    for (int run = 0; run < 2; ++run) {
      logic->mnuCompress_Click();
      EXPECT_EQ(logic->LastCompressResult(), LiteralCompress(plain));
      EXPECT_EQ(Map().Count(), plain.Count());
      EXPECT_EQ(Map().CanUndo(), plain.CanUndo());
    }
    ExpectSameFiles();

    // Read back, the rectangles are the figures the plain document holds, unmodified.
    clsMap back;
    back.FileName(Map().FileName());
    ASSERT_EQ(back.Load(), 0);
    ASSERT_EQ(back.Count(), plain.Count());
    EXPECT_FALSE(back.Modify());
    EXPECT_EQ(RectsOf(back), RectsOf(plain));
    for (int32_t i = 1; i <= back.Count(); i += 7) {
      EXPECT_EQ(back.Item(i)->FigID(), plain.Item(i)->FigID());
      EXPECT_EQ(back.Item(i)->Thing(), plain.Item(i)->Thing());
      EXPECT_FALSE(back.Item(i)->Modify());
    }

    // Editing afterwards: the rectangles behave as the figures they stand for.
    const auto extra = NewRemark(u"# 追加：1");
    for (clsMap* m : {&Map(), &plain}) {
      m->Item(25)->OwnColor(0x0000AA);
      ASSERT_TRUE(m->Remove(22));
      ASSERT_TRUE(m->Move(30, 21));
      ASSERT_TRUE(m->Ins(24, extra));
    }
    EXPECT_EQ(RectsOf(Map()), RectsOf(plain));
    ExpectSameFiles();
    Map().Undo();
    plain.Undo();
    EXPECT_EQ(Map().Count(), plain.Count());
    SetUp();  // a new window logic for the next picture
    plain.Clear();
  }
}

// The compression worked out alongside the generation is for the map as generated: after an
// edit in between, the compression scans the edited map.
TEST_F(IdentityTest, AnEditAfterGenerationSetsTheCompressionAlongsideAside) {
  std::mt19937 rng(7);
  const Picture pic = RandomPicture(rng, 200, 140);
  logic->CompressAlongGeneration(true);
  Generate(pic, rng);
  for (clsMap* m : {&Map(), &plain}) {
    ASSERT_TRUE(m->Remove(40));
    ASSERT_TRUE(m->Remove(55));
  }
  logic->mnuCompress_Click();
  EXPECT_EQ(logic->LastCompressResult(), LiteralCompress(plain));
  ExpectSameFiles();
}

TEST_F(IdentityTest, CancelledCompressionLeavesThePlainMarksAndBottoms) {
  std::mt19937 rng(42);
  const Picture pic = RandomPicture(rng, 180, 120);
  Generate(pic, rng);
  int events = 0;
  win.onDoEvents = [&] {
    if (++events == 40) logic->mnuCancel_Click();
  };
  logic->mnuCompress_Click();
  ASSERT_EQ(win.LastMessage(), frmtext::kCompressCancelled);
  EXPECT_EQ(LiteralCompress(plain, 40 * 8), -1);
  ASSERT_EQ(Map().Count(), plain.Count());
  for (int32_t i = 1; i <= Map().Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Map().Item(i)->OwnShowMode(), plain.Item(i)->OwnShowMode());
    EXPECT_EQ(Map().FigCode(i), plain.FigCode(i));
  }
  EXPECT_EQ(RectsOf(Map()), RectsOf(plain));
  ExpectSameFiles();
}

}  // namespace
}  // namespace picmap::test
