// The template thing file shipped beside the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/platform.h"
#include "support/text.h"
#include "things/clsThings.h"
#include "things_helpers.h"

namespace picmap {
namespace {
using testing::ReadBytes;
using testing::ScratchPath;

const std::string kTemplate = PICMAP_SOURCE_DIR "/data/PICMAP.THG";

TEST(TemplateThingFile, HoldsTheImagePolygonShownOnEveryPage) {
  ScopedScriptedPorts ports;
  clsThings things;
  things.FileName(FromUtf8(kTemplate));
  ASSERT_EQ(things.Load(), 0);
  EXPECT_FALSE(things.Comment().empty());
  EXPECT_FALSE(things.CategoryName(1).empty());
  const int16_t number = things.Search(u"画像ポリゴン");
  ASSERT_GE(number, 0);
  const auto polygon = things.Item(number);
  EXPECT_EQ(polygon->Figure(), 3);
  EXPECT_EQ(polygon->Category(), 1);
  EXPECT_TRUE(polygon->IsSameAllPage());
  for (int16_t page = 1; page <= 8; ++page) {
    polygon->Page(page);
    EXPECT_TRUE(polygon->IsPrint(100000)) << page;
    EXPECT_TRUE(polygon->IsPrint(1000000000)) << page;
  }
  EXPECT_TRUE(ports.messages.shown.empty());
}

TEST(TemplateThingFile, IsExactlyWhatSaveWritesAndReadsBackTheSame) {
  ScopedScriptedPorts ports;
  const std::string copy = ScratchPath(".THG");
  clsThings original;
  original.FileName(FromUtf8(kTemplate));
  ASSERT_EQ(original.Load(), 0);
  original.FileName(FromUtf8(copy));
  ASSERT_EQ(original.Save(), 0);
  EXPECT_EQ(ReadBytes(copy), ReadBytes(kTemplate));

  clsThings back;
  back.FileName(FromUtf8(copy));
  ASSERT_EQ(back.Load(), 0);
  EXPECT_EQ(back.Comment(), original.Comment());
  for (int16_t n = 1; n <= 20; ++n) EXPECT_EQ(back.CategoryName(n), original.CategoryName(n));
  ASSERT_EQ(back.Count(), original.Count());
  for (const auto& thing : original) {
    const auto other = back.Item(thing->Index());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->Name(), thing->Name());
    EXPECT_EQ(other->Figure(), thing->Figure());
    EXPECT_EQ(other->Category(), thing->Category());
    for (int16_t page = -8; page <= 8; ++page) {
      if (page == 0) continue;
      EXPECT_EQ(other->PageRecord(page), thing->PageRecord(page)) << page;
    }
  }
  std::filesystem::remove(copy);
}

TEST(TemplateThingFile, IsCopiedBesideTheExecutables) {
  EXPECT_EQ(ReadBytes(PICMAP_RUNTIME_DIR "/PICMAP.THG"), ReadBytes(kTemplate));
}

}  // namespace
}  // namespace picmap
