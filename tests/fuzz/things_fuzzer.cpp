// The thing file reader. Whatever loads must save and load again to the same catalogue:
// comment, category names, and every thing with the keys its figure kind writes. Saving what
// was reloaded from a saved file gives the same bytes again.
#include <string>

#include "fuzz/fuzz_support.h"
#include "support/figcodes.h"
#include "things/clsThings.h"

namespace picmap::fuzz {
namespace {

Environment& Env() {
  static Environment env;
  return env;
}

// What a text becomes through a save: the file is written in code page 932, so characters
// it cannot hold (from a file read as UTF-8, or undecodable bytes) come back as "?".
std::u16string Unmappable(const std::u16string& text) { return FromCp932(ToCp932(text)); }

std::string Where(const clsThing& t, int16_t page, const char* field) {
  return "thing " + std::to_string(t.Index()) + " page " + std::to_string(page) + ": " + field;
}

void ComparePages(const clsThing& a, const clsThing& b) {
  const int32_t figure = a.Figure();
  for (int16_t n = 1; n <= clsThing::kPages; ++n) {
    const ThingPage& pa = a.PageRecord(n);
    const ThingPage& pb = b.PageRecord(n);
    if (figure != figcode::kRemark) {
      Check(pa.ShowMode == pb.ShowMode, Where(a, n, "SHOW"));
      Check(pa.ScaleS == pb.ScaleS, Where(a, n, "SMALL"));
      Check(pa.ScaleL == pb.ScaleL, Where(a, n, "LARGE"));
      Check(pa.Fore == pb.Fore, Where(a, n, "FORE"));
      Check(pa.Back == pb.Back, Where(a, n, "BACK"));
      Check(pa.Style == pb.Style, Where(a, n, "STYLE"));
    }
    if (figure == figcode::kPolyline || figure == figcode::kText)
      Check(pa.Size == pb.Size, Where(a, n, "WIDTH/HEIGHT"));
    if (figure == figcode::kText) {
      Check(Unmappable(pa.Europian) == pb.Europian, Where(a, n, "EUROPIAN"));
      Check(Unmappable(pa.Japanese) == pb.Japanese, Where(a, n, "JAPANESE"));
    }
  }
}

void Compare(const clsThings& a, const clsThings& b) {
  Check(Unmappable(a.Comment()) == b.Comment(),
        "comment " + Show(a.Comment()) + " / " + Show(b.Comment()));
  for (int16_t n = 1; n <= clsThings::kCategories; ++n)
    Check(Unmappable(a.CategoryName(n)) == b.CategoryName(n),
          "category " + std::to_string(n) + ": " + Show(a.CategoryName(n)) + " / " +
              Show(b.CategoryName(n)));
  Check(a.Count() == b.Count(), std::to_string(a.Count()) + " things saved, " +
                                    std::to_string(b.Count()) + " loaded");
  for (int32_t i = 0; i < a.Count(); ++i) {
    const clsThing& ta = *a.NewEnum()[static_cast<size_t>(i)];
    const clsThing& tb = *b.NewEnum()[static_cast<size_t>(i)];
    Check(ta.Index() == tb.Index(), "thing at " + std::to_string(i) + ": number " +
                                        std::to_string(ta.Index()) + " / " +
                                        std::to_string(tb.Index()));
    Check(Unmappable(ta.Name()) == tb.Name(),
          Where(ta, 0, "NAME ") + Show(ta.Name()) + " / " + Show(tb.Name()));
    Check(ta.Figure() == tb.Figure(), Where(ta, 0, "FIGURE"));
    Check(ta.Category() == tb.Category(), Where(ta, 0, "CATEGORY"));
    ComparePages(ta, tb);
  }
}

// Saves the catalogue under a new name and returns the file's path.
std::string SaveAs(clsThings& things, const std::string& name) {
  const std::string path = Env().Fresh(name);
  things.FileName(FromUtf8(path));
  things.Modify(true);
  const int32_t saved = Outcome([&] { return things.Save(); });
  Check(saved == 0, "a loaded catalogue does not save: error " + std::to_string(saved));
  return path;
}

}  // namespace
}  // namespace picmap::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace picmap;
  using fuzz::Check;
  auto& env = fuzz::Env();
  const std::string input =
      env.Write("in.THG", std::string_view(reinterpret_cast<const char*>(data), size));
  clsThings first;
  first.FileName(FromUtf8(input));
  if (fuzz::Outcome([&] { return first.Load(); }) != 0) return 0;
  const std::string copy1 = fuzz::SaveAs(first, "copy1.THG");
  clsThings second;
  second.FileName(FromUtf8(copy1));
  Check(fuzz::Outcome([&] { return second.Load(); }) == 0, "a saved catalogue does not load");
  fuzz::Compare(first, second);
  // The first save may write equal pages as a list; from the second on the bytes settle.
  const std::string copy2 = fuzz::SaveAs(second, "copy2.THG");
  clsThings third;
  third.FileName(FromUtf8(copy2));
  Check(fuzz::Outcome([&] { return third.Load(); }) == 0, "a saved catalogue does not load");
  const std::string copy3 = fuzz::SaveAs(third, "copy3.THG");
  Check(fuzz::Environment::Read(copy2) == fuzz::Environment::Read(copy3),
        "the reloaded catalogue saves to other bytes each time");
  env.Sweep();
  return 0;
}
