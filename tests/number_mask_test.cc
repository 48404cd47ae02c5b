#include "textout/number_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

#include "test_support.h"

namespace opfreq {
namespace {

using Value = std::variant<double, float>;

struct Statement {
  const char* mask;
  std::vector<Value> values;
  bool lineEnd;
  std::string bytes;
};

std::string run(const Statement& s, std::vector<std::string>* pieces = nullptr) {
  testing::RecordingSink sink;
  OutputStream out(sink);
  MaskPrinter printer(out);
  printer.beginMask(s.mask);
  for (const Value& v : s.values) std::visit([&](auto x) { printer.putNumber(x); }, v);
  printer.endMask(s.lineEnd);
  if (pieces != nullptr) *pieces = sink.pieces;
  return sink.text;
}

TEST(MaskPrinter, WholeStatementsWriteExactBytes) {
  const std::string row = "# ##### ##### ##.##%";
  const Statement statements[] = {
      {row.c_str(), {1.0, 65536.0, 65536.0, 100.0}, true, "1 65536 65536 10.00%e+1%\r\n"},
      {row.c_str(), {1.0, 5.0, 5.0, 5 * 100 / 65536.0}, true, "1     5     5 76.29%e-4%\r\n"},
      {row.c_str(), {3.0, 1.0, 3.0, 0.004}, true, "3     1     3 40.00%e-4%\r\n"},
      {row.c_str(), {1.0, 0.0, 0.0, 0.0}, true, "1     0     0  0.00%\r\n"},
      {row.c_str(), {2.0, 1000.0, 2000.0, 2000 * 100 / 6000.0}, true, "2  1000  2000 33.33%\r\n"},
      {row.c_str(), {2.0, 7.0}, true, "2     7 \r\n"},
      {"first 3 opcodes: ##.##%", {100.0f}, true, "first 3 opcodes: 10.00%e+1%\r\n"},
      {"first 3 opcodes: ##.##%", {99.99999237060546875f}, true, "first 3 opcodes: 100.00%\r\n"},
      {"first 3 opcodes: ##.##%", {}, true, "first 3 opcodes: \r\n"},
      {"##### times", {5.0}, false, "    5 times"},
      {"##### times", {65535.0}, false, "65535 times"},
      {"##### times", {5.0, 7.0}, false, "    5 times    7 times"},
      {"##### times", {100000.0}, false, "10000%e+1 times"},
      {"##### times", {123456.0}, false, "12345%e+1 times"},
  };
  for (const Statement& s : statements) EXPECT_EQ(run(s), s.bytes) << s.mask;
}

TEST(MaskPrinter, WritesEachFieldWithTheTextBehindIt) {
  std::vector<std::string> pieces;
  run({"# ##### ##### ##.##%", {1.0, 65536.0, 65536.0, 100.0}, true, ""}, &pieces);
  const std::vector<std::string> expected = {"1", " ",         "65536", " ",   "65536",
                                             " ", "10.00%e+1", "%",     "\r\n"};
  EXPECT_EQ(pieces, expected);
}

std::string field(const char* mask, double value) {
  NumberMask m{mask, 0};
  return renderNumber(value, takeField(m), kMaxDecimalsDouble);
}

struct FieldRow {
  const char* mask;
  double value;
  const char* text;
};

void expectFields(std::initializer_list<FieldRow> rows) {
  for (const FieldRow& row : rows) {
    EXPECT_EQ(field(row.mask, row.value), row.text) << row.mask << " " << row.value;
  }
}

TEST(NumberMask, RendersSingleFields) {
  expectFields({
      {"##.##", 2 * 100 / 3.0, "66.67"},
      {"##.##", 12.345, "12.34"},
      {"##.##", 0.125, " 0.12"},
      {"##.##", 0.135, " 0.13"},
      {"##.##", 99.996, "100.00"},
      {"##.##", 99.994, "99.99"},
      {"##.##", 99.995, "100.00"},  // stored a little above the half
      {"##.##", 5, " 5.00"},
      {"##.##", 0.5, " 0.50"},
      {"##.##", 0.05, " 0.05"},
      {"##.##", 0.01, " 0.01"},
      {"##.##", 0.0099, "99.00%e-4"},
      {"##.##", 100 / 262144.0, "38.15%e-5"},
      {"##.##", 150, "15.00%e+1"},
      {"##.##", 101.25, "10.13%e+1"},
      {"##.##", 1000, "10.00%e+2"},
      {"##.##", std::nextafter(100.0, 0), "10.00%e+1"},  // log10 gives 2
      {"##.##", std::nextafter(0.01, 0), " 0.01"},       // log10 gives -2
      {"##.##", std::nextafter(0.01, 1), " 0.01"},
      {"#####", 0, "    0"},
      {"#####", 2.5, "    2"},
      {"#####", 2.6, "    3"},
      {"#####", 0.6, "    1"},
      {"#####", 0.05, "50000%e-6"},
      {"#.#", 0.375, "0.4"},
      {"$$#,###.##", 1234.5, "$1,234.50"},
      {"#,###,###", 1234567, "1,234,567"},
      {"**##.##", 5, "*5.00"},
      {"##.##+", 5, " 5.00+"},
      {"###,", 5, "  5,"},
      {"##.", 5, " 5."},
      {"#.##^^^^", 12345, "1.23e+04"},
      {"#.##^^^^", 5, "5.00e+00"},
      {"#.##^^", 12345, "1.23e+"},
      {"#.##^^^", 1e120, "1.00e+0"},
  });
}

TEST(NumberMask, RoundsUpOnlyAboveTheHalfAtEveryPlaceCount) {
  expectFields({
      // The fraction text of a rounded value shows the value's own digits.
      {"#.###############", 0.1234567890123455, "0.123456789012345"},
      {"#.###############", 0.1234567890123456, "0.123456789012345"},
      {"#.################", 0.12345678901234565, "0.1234567890123456"},
      {"#.##", 0.125, "0.12"},
      {"#.##", 0.1250000000000001, "0.12"},  // less than 10^-15 above
      {"#.##", 0.12500000000001, "0.13"},
  });
}

TEST(NumberMask, SinglesAreNudgedSoThatHalvesGoUp) {
  EXPECT_EQ(run({"##.##", {0.125f}, false, ""}), " 0.13");
  EXPECT_EQ(run({"##.##", {2.125f}, false, ""}), " 2.13");
  EXPECT_EQ(run({"##.##", {0.125}, false, ""}), " 0.12");
  EXPECT_EQ(run({"##.##", {2.125}, false, ""}), " 2.12");
  EXPECT_EQ(run({"##.##", {63.75f}, false, ""}), "63.75");
}

TEST(NumberMask, ReusesTheMaskAndEndsStatementsEarly) {
  EXPECT_EQ(run({"a# ", {1.0, 2.0, 3.0}, true, ""}), "a1 a2 a3 \r\n");
  EXPECT_EQ(run({"#-#-#", {1.0}, false, ""}), "1-");
  EXPECT_EQ(run({"x_#y##", {4.0}, false, ""}), "x#y 4");
  EXPECT_EQ(run({"*a$b##", {7.0}, false, ""}), "*a$b 7");
  EXPECT_EQ(run({"", {7.0}, false, ""}), "%e+1");
}

TEST(NumberMask, ChoicesForInputsTheReportNeverMakes) {
  const double inf = std::numeric_limits<double>::infinity();
  expectFields({
      {"##.##", -5, "-5.00"},  // the sign takes an integer position
      {"###.##", -12.5, "-12.50"},
      {"##.##+", -5, " 5.00-"},  // a trailing sign keeps both positions
      {"+##.##", -5, "-5.00"},
      {"+##.##", 5, "+5.00"},
      {"##.##", inf, "inf"},
      {"##.##", -inf, "-inf"},
      {"##.##", std::nan(""), "nan"},
      {".##", 0.5, ".50"},
      {".##", 0.996, "1.00"},           // digits without a position are still shown
      {"##.##", 999.96, "100.00%e+1"},  // the shifted fraction carries into the units
      {"##.##", 1e300, "10.00%e+299"},
      {"##.##", 5e-324, "49.41%e-325"},
      {"####################", 1e19, "10000000000000000000"},
      {"#.##^", 5, "5.00e"},
  });
  EXPECT_EQ(run({"ab_", {1.0}, false, ""}), "ab_%e+1");            // '_' at the end is printed
  EXPECT_EQ(run({"a!#", {5.0, 6.0}, true, ""}), "a%e+1%e+1\r\n");  // '!' is an empty field
  EXPECT_EQ(run({std::string(5000, 'x').c_str(), {}, false, ""}).size(), 5000u);
}

}  // namespace
}  // namespace opfreq
