#include "textout/number_mask.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "textout/extended.h"

namespace opfreq {
namespace {

constexpr size_t kLiteralPiece = 2048;  // the most a literal run hands over in one write
constexpr int kNone = -1;               // "no byte" for the previous/next byte tests

int byteAt(std::string_view text, size_t index) {
  return index < text.size() ? static_cast<unsigned char>(text[index]) : kNone;
}

// '$' and '*' count only in pairs (and '$' right behind '*').
bool pairedCurrency(int previous, int next) {
  return next == '$' || previous == '$' || previous == '*';
}
bool pairedFill(int previous, int next) { return next == '*' || previous == '*'; }

// The double nearest to 10^n.
double powerOfTen(int n) {
  static constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (n >= 0 && n <= 22) return kExact[n];
  char text[16];
  const int length = std::snprintf(text, sizeof text, "1e%d", n);
  double value = 0;
  const auto [end, error] = std::from_chars(text, text + length, value);
  if (error != std::errc{}) return n > 0 ? HUGE_VAL : 0.0;
  return value;
}

Extended ext(double value) { return Extended::fromDouble(value); }

// v * 10^n, the product extended and stored. Where 10^n itself is beyond a double (shifting a
// subnormal or a huge value), it is applied in two steps instead.
double scaleByPowerOfTen(double v, int n) {
  const double power = powerOfTen(n);
  if (std::isfinite(power) && power != 0) return (ext(v) * ext(power)).toDouble();
  const int half = n / 2;
  return (ext(v) * ext(powerOfTen(half)) * ext(powerOfTen(n - half))).toDouble();
}

// Rounds v to d places: up only when the dropped part exceeds one half by at least 10^-15
// of a unit of the last place shown (the 15-digit comparison below).
double roundToPlaces(double v, int d) {
  double i = 0;
  const double f = std::modf(v, &i);
  if (d == 0) {
    const int64_t scaled = (ext(f) * ext(1e15)).truncToInt64();
    return scaled > 500000000000000 ? std::ceil(v) : i;
  }
  if (f == 0) return v;
  const double unit = powerOfTen(d);
  const double y = (ext(f) * ext(unit)).toDouble();
  double k = std::trunc(y);
  const double r = y - k;
  const Extended scale = ext(1e15) / ext(unit);
  const int64_t dropped = (ext(r) * scale).truncToInt64();
  const int64_t half = (ext(5e14) / ext(unit)).truncToInt64();
  if (dropped > half) k += 1;
  return (ext(i) + ext(k) / ext(unit)).toDouble();
}

// Adds one to a string of decimal digits.
void incrementDigits(std::string& digits) {
  for (size_t pos = digits.size(); pos-- > 0;) {
    if (digits[pos] != '9') {
      ++digits[pos];
      return;
    }
    digits[pos] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The d digits after the point of f (0 <= f < 1): its expansion to 17 significant digits,
// then rounded at place d with halves away from zero. Sets `carry` when that reaches 1.
std::string fractionDigits(double f, int d, bool& carry) {
  carry = false;
  if (f == 0) return std::string(static_cast<size_t>(d), '0');
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, f, std::chars_format::scientific, 16);
  const std::string_view scientific(text, static_cast<size_t>(result.ptr - text));
  const size_t e = scientific.find('e');
  int exponent = 0;
  std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'), result.ptr, exponent);
  std::string places(static_cast<size_t>(-exponent - 1), '0');  // zeros before the first digit
  places += scientific[0];
  places.append(scientific.substr(2, e - 2));
  if (places.size() <= static_cast<size_t>(d)) {
    places.resize(static_cast<size_t>(d), '0');
    return places;
  }
  const bool roundUp = places[static_cast<size_t>(d)] >= '5';
  places.resize(static_cast<size_t>(d));
  if (roundUp) {
    incrementDigits(places);
    if (places.size() > static_cast<size_t>(d)) {
      carry = true;
      places.erase(0, 1);
    }
  }
  return places;
}

std::string integerDigits(double i) {
  if (i < 1e19) return std::to_string(static_cast<uint64_t>(i));  // exact below 2^64
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, i, std::chars_format::fixed, 0);
  return std::string(text, result.ptr);
}

std::string groupDigits(const std::string& digits) {
  std::string grouped;
  for (size_t pos = 0; pos < digits.size(); ++pos) {
    if (pos > 0 && (digits.size() - pos) % 3 == 0) grouped += ',';
    grouped += digits[pos];
  }
  return grouped;
}

std::string exponentText(int shift, int places) {
  char text[16];
  std::snprintf(text, sizeof text, "e%+d", shift);
  std::string exponent(text);
  const auto wanted = static_cast<size_t>(places);
  if (exponent.size() < wanted) {
    exponent.insert(2, wanted - exponent.size(), '0');
  } else if (exponent.size() > wanted) {
    exponent = places > 2 ? exponent.substr(0, 2) + exponent.substr(exponent.size() - wanted + 2)
                          : exponent.substr(0, wanted);
  }
  return exponent;
}

}  // namespace

std::string takeLiteralRun(NumberMask& mask) {
  const std::string_view text = mask.text;
  std::string printed;
  int previous = kNone;
  while (mask.cursor < text.size()) {
    const int byte = byteAt(text, mask.cursor);
    const int next = byteAt(text, mask.cursor + 1);
    bool ends = false;
    switch (byte) {
      case '#':
      case '.':
      case ',':
      case '+':
      case '!':
      case '&':
      case '\\':
        ends = true;
        break;
      case '$':
        ends = pairedCurrency(previous, next);
        break;
      case '*':
        ends = pairedFill(previous, next);
        break;
      case '_':
        if (next != kNone) {  // the byte behind it is printed, whatever it is
          printed += static_cast<char>(next);
          previous = next;
          mask.cursor += 2;
          continue;
        }
        break;
      default:
        break;
    }
    if (ends) break;
    printed += static_cast<char>(byte);
    previous = byte;
    ++mask.cursor;
  }
  return printed;
}

MaskField takeField(NumberMask& mask) {
  const std::string_view text = mask.text;
  MaskField field;
  bool commaPlaceAdded = false;
  int previous = kNone;
  for (; mask.cursor < text.size(); ++mask.cursor) {
    const int byte = byteAt(text, mask.cursor);
    const int next = byteAt(text, mask.cursor + 1);
    if (byte == '#') {
      ++(field.decimalPlaces < 0 ? field.integerPlaces : field.decimalPlaces);
    } else if (byte == '.') {
      field.decimalPlaces = 0;
    } else if (byte == ',') {
      if (next == '#') {
        field.groupThousands = true;
        if (!commaPlaceAdded) ++field.integerPlaces;
        commaPlaceAdded = true;
      } else {
        field.trailingComma = true;
      }
    } else if (byte == '+') {
      (field.integerPlaces == 0 ? field.leadingSign : field.trailingSign) = true;
    } else if (byte == '$' && pairedCurrency(previous, next)) {
      field.currencySign = true;
    } else if (byte == '*' && pairedFill(previous, next)) {
      field.fillChar = '*';
    } else if (byte == '^') {
      ++field.exponentPlaces;
      field.exponentForm = true;
    } else {
      break;
    }
    previous = byte;
  }
  return field;
}

std::string renderNumber(double value, MaskField field, int32_t maxDecimals) {
  const bool negative = value < 0;
  const bool frontMinus = negative && !field.leadingSign && !field.trailingSign;
  const int32_t width = field.integerPlaces;  // padding width, sign included
  if (frontMinus && field.integerPlaces > 0) --field.integerPlaces;
  double v = std::fabs(value);
  field.decimalPlaces = std::min(field.decimalPlaces, maxDecimals);
  const int d = std::max(field.decimalPlaces, 0);

  std::string integerText;
  std::string fractionText;
  int shift = 0;
  if (!std::isfinite(v)) {
    integerText = std::isnan(v) ? "nan" : "inf";
  } else {
    int m = v != 0 ? static_cast<int>(std::floor(std::log10(v))) + 1 : 0;
    bool shifted = false;
    if (m < 0 && -m > field.decimalPlaces - 1) {
      shift = m - field.integerPlaces;
      v = scaleByPowerOfTen(v, -shift);
      shifted = true;
    } else if (m < 0) {
      m = 0;
    }
    v = roundToPlaces(v, d);
    if (!shifted && m > field.integerPlaces) {
      shift = m - field.integerPlaces;
      v = scaleByPowerOfTen(v, -shift);
    }
    double i2 = 0;
    const double f2 = std::modf(v, &i2);
    bool carry = false;
    if (d > 0) fractionText.append(1, '.').append(fractionDigits(f2, d, carry));
    integerText = integerDigits(i2);
    if (carry) incrementDigits(integerText);
    // Digits without a position are shown rather than lost; a zero needs none.
    if (field.integerPlaces < 1 && integerText == "0") integerText.clear();
  }

  // Sign, then currency, then the digits; the padding goes in front of all of them.
  std::string text;
  if (field.leadingSign) {
    text += negative ? '-' : '+';
  } else if (frontMinus) {
    text += '-';
  }
  if (field.currencySign) text += '$';
  text += field.groupThousands ? groupDigits(integerText) : integerText;
  if (width >= 1 && text.size() < static_cast<size_t>(width)) {
    text = std::string(static_cast<size_t>(width) - text.size(), field.fillChar) + text;
  }
  if (std::isfinite(v)) {
    if (d >= 1) {
      text += fractionText;
    } else if (field.decimalPlaces == 0) {
      text += '.';
    }
  }
  if (field.exponentForm) {
    text += exponentText(shift, field.exponentPlaces);
    shift = 0;
  }
  if (field.trailingSign) text += negative && !field.leadingSign ? '-' : '+';
  if (field.trailingComma) text += ',';
  if (shift != 0) {
    char marker[16];
    std::snprintf(marker, sizeof marker, "%%e%+d", shift);
    text += marker;
  }
  return text;
}

double nudgeSingle(float value) {
  const double w = value;
  if (w == 0 || !std::isfinite(w)) return w;
  const int e = static_cast<int>(std::floor(std::log10(std::fabs(w))));
  const int n = e >= 0 ? -(e + 8) : e - 6;
  return (ext(w) + ext(powerOfTen(n))).toDouble();
}

void MaskPrinter::writeLiteral(std::string_view text) {
  for (size_t pos = 0; pos < text.size(); pos += kLiteralPiece) {
    out_.writeText(text.substr(pos, kLiteralPiece));
  }
}

void MaskPrinter::beginMask(std::string_view mask) { mask_ = NumberMask{std::string(mask), 0}; }

void MaskPrinter::put(double value, int32_t maxDecimals) {
  if (mask_.cursor >= mask_.text.size()) mask_.cursor = 0;  // more values than fields
  writeLiteral(takeLiteralRun(mask_));
  const MaskField field = takeField(mask_);
  out_.writeText(renderNumber(value, field, maxDecimals));
  writeLiteral(takeLiteralRun(mask_));
}

void MaskPrinter::putNumber(double value) { put(value, kMaxDecimalsDouble); }

void MaskPrinter::putNumber(float value) { put(nudgeSingle(value), kMaxDecimalsSingle); }

void MaskPrinter::endMask(bool lineEnd) {
  writeLiteral(takeLiteralRun(mask_));
  if (lineEnd) out_.writeLineEnd();
  mask_ = NumberMask{};
}

}  // namespace opfreq
