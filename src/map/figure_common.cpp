#include "map/figure_common.h"

#include <cmath>
#include <random>

#include "support/binfile.h"
#include "support/colorlib.h"
#include "support/figcodes.h"
#include "support/numeric.h"

namespace picmap {

namespace {

// Seconds from 1899-12-30 00:00, the day count origin of identifiers, to 1970-01-01.
constexpr int64_t kSerialToEpochSeconds = int64_t{25569} * 86400;
constexpr double kIdScale = 100000.0;
// The date range: 0100-01-01 00:00:00 up to the end of 9999-12-31, in seconds from day 0.
constexpr double kFirstDateSecond = -657434.0 * 86400;
constexpr double kEndDateSecond = 2958466.0 * 86400;

// The one sequence behind all identifiers: fixed seed, never reseeded, so every run of the
// program draws the same numbers.
std::minstd_rand& Generator() {
  static std::minstd_rand generator;
  return generator;
}

}  // namespace

std::minstd_rand FigureIdSequence() { return Generator(); }
void SetFigureIdSequence(const std::minstd_rand& sequence) { Generator() = sequence; }
void SkipFigureIds(uint64_t n) { Generator().discard(n); }

double NewFigureId() { return NewFigureIdAt(ToEpochSeconds(Now())); }

namespace {

// The draw is the value's share of the sequence's range times kIdScale, cut to a whole
// number. Worked out in integers it equals the floating-point quotient times kIdScale for
// every value the sequence gives (checked one by one), without a floating-point division per
// figure.
double IdentifierOf(int64_t epochSeconds, uint64_t value) {
  const int64_t seconds = epochSeconds + kSerialToEpochSeconds;
  const uint64_t x = value - std::minstd_rand::min();
  constexpr uint64_t kRange = std::minstd_rand::max() - std::minstd_rand::min() + 1;
  const auto draw = static_cast<int64_t>(x * static_cast<uint64_t>(kIdScale) / kRange);
  return static_cast<double>(seconds) * kIdScale + static_cast<double>(draw);
}

}  // namespace

double NewFigureIdAt(int64_t epochSeconds) { return IdentifierOf(epochSeconds, Generator()()); }

// Each draw multiplies the last value by the sequence's multiplier, modulo its modulus: n
// draws on is one multiplication by a power of it, however large n is.
double FigureIdAhead(const std::minstd_rand& sequence, uint64_t n, int64_t epochSeconds) {
  constexpr uint64_t kModulus = std::minstd_rand::modulus;
  std::minstd_rand next = sequence;
  uint64_t value = next();
  for (uint64_t factor = std::minstd_rand::multiplier; n > 0; n >>= 1) {
    if (n & 1) value = value * factor % kModulus;
    factor = factor * factor % kModulus;
  }
  return IdentifierOf(epochSeconds, value);
}

// A day count before day 0 keeps its time of day as a positive fraction: -1.25 is 06:00 on
// the day before 1899-12-30, as date-times count. Identifiers beyond the date range (years
// 100 to 9999), infinite or not a number have no date: the overflow error.
DateTime FigDateOf(double figId) {
  const double seconds = std::trunc(figId / kIdScale);
  if (!(seconds >= kFirstDateSecond && seconds < kEndDateSecond)) ThrowOverflow();
  const auto s = static_cast<int64_t>(seconds);
  const int64_t day = s / 86400;  // toward zero
  const int64_t timeOfDay = s - day * 86400;
  const int64_t serialSeconds = day * 86400 + (timeOfDay < 0 ? -timeOfDay : timeOfDay);
  return FromEpochSeconds(serialSeconds - kSerialToEpochSeconds);
}

void FieldBlock::WriteTo(BinaryWriter& w) const { w.WriteBytes(bytes_, size_); }

void FieldBlock::ReadFrom(BinaryReader& r, size_t n) {
  r.ReadBytes(bytes_, n);
  size_ = n;
  taken_ = 0;
}

std::u16string MapFigureCommon::FigName(int32_t iLang) const {
  if (iLang != 1 && iLang != 2) return u"";
  return FigureName(FigCode(), static_cast<int16_t>(iLang));
}

void MapFigureCommon::FigID(double value) {
  figId_ = value;
  modified_ = true;
}

void MapFigureCommon::OwnColor(int32_t value) {
  if (!IsColorValue(value)) return;
  ownColor_ = value;
  modified_ = true;
}

void MapFigureCommon::OwnShowMode(int32_t value) {
  if (value < -1 || value > 1) return;
  ownShowMode_ = static_cast<int16_t>(value);
  modified_ = true;
}

void MapFigureCommon::Admin(int32_t value) {
  if (value < 0 || value > 999) return;
  admin_ = static_cast<int16_t>(value);
  modified_ = true;
}

void MapFigureCommon::Thing(int32_t value) {
  if (value < 0 || value > 999) return;
  thing_ = static_cast<int16_t>(value);
  modified_ = true;
}

void MapFigureCommon::JumpMark(int32_t value) {
  if (value < 0 || value > 9) return;
  jumpMark_ = static_cast<int16_t>(value);
  modified_ = true;
}

void MapFigureCommon::Reserve(int32_t value) {
  reserve_ = value;
  modified_ = true;
}

bool MapFigureCommon::AttributesRight() const {
  return IsThingNumber(Admin()) && IsThingNumber(Thing()) && IsColorValue(OwnColor()) &&
         IsShowMode(static_cast<int16_t>(OwnShowMode())) && IsJumpMarkValue(JumpMark());
}

void MapFigureCommon::CopyAttributesTo(clsMapFigure& target) const {
  target.Admin(Admin());
  target.Thing(Thing());
  target.OwnColor(OwnColor());
  target.OwnShowMode(OwnShowMode());
  target.JumpMark(JumpMark());
  target.Reserve(Reserve());
}

void MapFigureCommon::PutCommon106(FieldBlock& b, int16_t thing) const {
  b.Put<double>(figId_);
  b.Put<int16_t>(admin_);
  b.Put<int16_t>(thing);
  b.Put<int32_t>(ownColor_);
  b.Put<uint8_t>(static_cast<uint8_t>(ownShowMode_ + 1));
  b.Put<uint8_t>(static_cast<uint8_t>(jumpMark_));
  b.Put<int32_t>(reserve_);
}

void MapFigureCommon::TakeCommon106(FieldBlock& b) {
  figId_ = b.Take<double>();
  admin_ = b.Take<int16_t>();
  thing_ = b.Take<int16_t>();
  ownColor_ = b.Take<int32_t>();
  ownShowMode_ = static_cast<int16_t>(b.Take<uint8_t>() - 1);
  jumpMark_ = b.Take<uint8_t>();
  reserve_ = b.Take<int32_t>();
}

int32_t MapFigureCommon::AttributeWord() const {
  return PackFigAttr(jumpMark_, ownShowMode_, ownColor_);
}

void MapFigureCommon::SetFromAttributeWord(int32_t word) {
  UnpackFigAttr(word, jumpMark_, ownShowMode_, ownColor_);
}

bool IsCp932LeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

int32_t Cp932CharCount(std::string_view bytes) {
  int64_t chars = 0;
  for (size_t i = 0; i < bytes.size(); ++i, ++chars)
    if (IsCp932LeadByte(static_cast<uint8_t>(bytes[i])) && i + 1 < bytes.size()) ++i;
  return static_cast<int32_t>(chars);
}

bool EndsInLoneLeadByte(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (!IsCp932LeadByte(static_cast<uint8_t>(bytes[i]))) continue;
    if (i + 1 == bytes.size()) return true;
    ++i;
  }
  return false;
}

std::string ReadCp932Chars(BinaryReader& r, int32_t chars) {
  if (chars <= 0) return {};
  r.Require(chars);
  std::string out;
  out.reserve(static_cast<size_t>(chars));
  for (int32_t i = 0; i < chars; ++i) {
    const auto b = r.Read<uint8_t>();
    out += static_cast<char>(b);
    if (IsCp932LeadByte(b)) out += static_cast<char>(r.Read<uint8_t>());
  }
  return out;
}

std::string ReadTextBytes(BinaryReader& r, int32_t n) {
  if (n <= 0) return {};
  r.Require(n);
  std::string out(static_cast<size_t>(n), '\0');
  r.ReadBytes(out.data(), out.size());
  return out;
}

}  // namespace picmap
