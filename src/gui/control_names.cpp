#include "gui/control_names.h"

namespace picmap {

namespace {

constexpr const char16_t* kMenuNames[kMenuCount] = {
    u"mnuFile",  u"mnuOpen",  u"mnuSave",  u"mnuQuit",      u"mnuArea",    u"mnuWorld",
    u"mnuWest",  u"mnuEast",  u"mnuNorth", u"mnuSouth",     u"mnuColor",   u"mnuBackColor",
    u"mnuTone",  u"mnuConvert", u"mnuPolygon", u"mnuCompress", u"mnuCancel"};

constexpr const char16_t* kLabelNames[kLabelCount] = {
    u"lblWest",    u"lblEast",      u"lblNorth",      u"lblSouth",    u"lblMapSize",
    u"lblImgSize", u"lblPixelSize", u"lblBackColor1", u"lblFigureNum"};

}  // namespace

std::u16string MenuName(Menu item) { return kMenuNames[static_cast<int>(item)]; }
std::u16string LabelName(Label label) { return kLabelNames[static_cast<int>(label)]; }

}  // namespace picmap
