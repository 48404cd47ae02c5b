#include "textout/number_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

namespace opfreq {
namespace {

using Value = std::variant<double, float>;

struct Statement {
  std::string mask;
  std::vector<Value> values;
  bool lineEnd;
  std::string bytes;
};

std::string run(const Statement& s) {
  StringSink sink;
  OutputStream out(sink);
  MaskPrinter printer(out);
  printer.beginMask(s.mask);
  for (const Value& v : s.values) std::visit([&](auto x) { printer.putNumber(x); }, v);
  printer.endMask(s.lineEnd);
  return sink.text;
}

void expectStatements(std::initializer_list<Statement> statements) {
  for (const Statement& s : statements) EXPECT_EQ(run(s), s.bytes) << s.mask;
}

TEST(MaskPrinter, TheReportsStatements) {
  const std::string row = "# ##### ##### ##.##%";
  expectStatements({
      {row, {1.0, 65536.0, 65536.0, 100.0}, true, "1 65536 65536 10.00%e+1%\r\n"},
      {row, {1.0, 5.0, 5.0, 5 * 100 / 65536.0}, true, "1     5     5 76.29%e-4%\r\n"},
      {row, {3.0, 1.0, 3.0, 0.004}, true, "3     1     3 40.00%e-4%\r\n"},
      {row, {1.0, 0.0, 0.0, 0.0}, true, "1     0     0  0.00%\r\n"},
      {row, {2.0, 1000.0, 2000.0, 2000 * 100 / 6000.0}, true, "2  1000  2000 33.33%\r\n"},
      {row, {2.0, 7.0}, true, "2     7 \r\n"},
      {"first 3 opcodes: ##.##%", {100.0f}, true, "first 3 opcodes: 10.00%e+1%\r\n"},
      {"first 3 opcodes: ##.##%", {99.99999237060546875f}, true, "first 3 opcodes: 100.00%\r\n"},
      {"first 3 opcodes: ##.##%", {}, true, "first 3 opcodes: \r\n"},
      {"##### times", {5.0, 7.0}, false, "    5 times    7 times"},
      {"##### times", {65535.0}, false, "65535 times"},
      {"##### times", {123456.0}, false, "12345%e+1 times"},
      // Singles are nudged up a hair, so that exact halves round up; doubles do not.
      {"##.##", {0.125f, 2.125f, 63.75f}, false, " 0.13 2.1363.75"},
      {"##.##", {0.125, 2.125}, false, " 0.12 2.12"},
      // Masks the report never uses: reuse, early ends, escapes, empty fields.
      {"a# ", {1.0, 2.0, 3.0}, true, "a1 a2 a3 \r\n"},
      {"#-#-#", {1.0}, false, "1-"},
      {"x_#y##", {4.0}, false, "x#y 4"},
      {"*a$b##", {7.0}, false, "*a$b 7"},
      {"ab_", {1.0}, false, "ab_%e+1"},
      {"a!#", {5.0, 6.0}, true, "a%e+1%e+1\r\n"},
  });
}

std::string field(const std::string& mask, double value) {
  NumberMask m{mask, 0};
  return renderNumber(value, takeField(m), kMaxDecimalsDouble);
}

TEST(NumberMask, RendersSingleFields) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* mask;
    double value;
    const char* text;
  } rows[] = {
      {"##.##", 2 * 100 / 3.0, "66.67"},
      {"##.##", 12.345, "12.34"},
      {"##.##", 99.996, "100.00"},
      {"##.##", 99.995, "100.00"},  // stored a little above the half
      {"##.##", 0.0099, "99.00%e-4"},
      {"##.##", 100 / 262144.0, "38.15%e-5"},
      {"##.##", 150, "15.00%e+1"},
      {"##.##", 101.25, "10.13%e+1"},
      {"##.##", std::nextafter(100.0, 0), "10.00%e+1"},  // log10 gives 2
      {"##.##", std::nextafter(0.01, 0), " 0.01"},       // log10 gives -2
      {"#####", 0, "    0"},
      {"#####", 2.5, "    2"},
      {"#####", 3.5, "    3"},
      {"#####", 2.6, "    3"},
      {"#####", 0.05, "50000%e-6"},
      {"#.##", 0.1250000000000001, "0.12"},  // less than 10^-15 of a unit above the half
      {"#.##", 0.12500000000001, "0.13"},
      {"$$#,###.##", 1234.5, "$1,234.50"},
      {"#,###,###", 1234567, "1,234,567"},
      {"**##.##", 5, "*5.00"},
      {"##.##+", -5, " 5.00-"},
      {"+##.##", 5, "+5.00"},
      {"#.##^^^^", 12345, "1.23e+04"},
      {"##.##", -5, "-5.00"},  // the sign takes an integer position
      {"##.##", -inf, "-inf"},
      {"##.##", std::nan(""), "nan"},
      {".##", 0.996, "1.00"},           // digits without a position are still shown
      {"##.##", 999.96, "100.00%e+1"},  // the shifted fraction carries into the units
      {"##.##", 5e-324, "49.41%e-325"},
      {"####################", 1e19, "10000000000000000000"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(field(row.mask, row.value), row.text) << row.mask << " " << row.value;
  }
}

// 3 * 2^-(d+1) lies exactly half way between two values of d decimal places, the upper of
// them even: it is cut at every place count, where half up or half to even would go up.
TEST(NumberMask, RoundsUpOnlyAboveTheHalfAtEveryPlaceCount) {
  uint64_t fives = 5;
  for (int d = 1; d <= 15; ++d) {
    fives *= 5;
    std::string digits = std::to_string(3 * fives);  // of 3 * 2^-(d+1), after the point
    digits.insert(0, static_cast<size_t>(d + 1) - digits.size(), '0');
    const std::string mask = "#." + std::string(static_cast<size_t>(d), '#');
    EXPECT_EQ(field(mask, 3 * std::ldexp(1.0, -(d + 1))),
              "0." + digits.substr(0, digits.size() - 1));
  }
  EXPECT_EQ(field("#.################", 0.12345678901234565), "0.1234567890123456");
}

}  // namespace
}  // namespace opfreq
