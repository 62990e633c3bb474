// The bridge's pure conversions: rates in hundredths, text cut on character boundaries, library
// bytes decoded with U+FFFD for what is not UTF-8.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "Text.h"

namespace {

using corvidj::CutUtf8;
using corvidj::DecodeUtf8;
using corvidj::FromHundredths;
using corvidj::ToHundredths;

TEST(Hundredths, EveryShortSurvivesTheRoundTrip) {
  int lost = 0;
  for (int v = std::numeric_limits<std::int16_t>::min(); v <= std::numeric_limits<std::int16_t>::max(); ++v)
    lost += ToHundredths(FromHundredths(static_cast<std::int16_t>(v))) != v;
  EXPECT_EQ(lost, 0);
}

TEST(Hundredths, TruncatesClampsAndZeroesNaN) {
  const struct {
    double value;
    std::int16_t expected;
  } cases[] = {{12.345, 1234}, {12.34, 1234}, {0.29, 29}, {-0.29, -29}, {0.009, 0}, {-12.349, -1234},
               {1e9, 32767}, {-1e9, -32768}, {INFINITY, 32767}, {-INFINITY, -32768}, {NAN, 0}};
  for (const auto& c : cases) EXPECT_EQ(ToHundredths(c.value), c.expected) << c.value;
  EXPECT_DOUBLE_EQ(FromHundredths(1234), 12.34);
}

TEST(Utf8, CutsOnlyBetweenCharacters) {
  const std::string text = "ab\xC3\xA9" "c\xE2\x98\x83";  // a b é c ☃
  const struct {
    std::size_t max, expected;
  } cases[] = {{100, 8}, {8, 8}, {7, 5}, {6, 5}, {5, 5}, {4, 4}, {3, 2}, {2, 2}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(CutUtf8(text.data(), text.size(), c.max), c.expected) << c.max;
  // A supplementary character in modified UTF-8 is two surrogates of three bytes: never half of it.
  const std::string pair = "a\xED\xA0\xB4\xED\xB4\x9E";
  EXPECT_EQ(CutUtf8(pair.data(), pair.size(), 6), 1u);
  EXPECT_EQ(CutUtf8(pair.data(), pair.size(), 7), 7u);
}

TEST(Utf8, DecodesAndReplacesInvalidBytes) {
  const struct {
    std::string bytes;
    std::u16string expected;
  } cases[] = {
      {"plain", u"plain"},
      {"\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
      {"\xF0\x9D\x84\x9E", u"\U0001D11E"},
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},          // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // a surrogate is not UTF-8
      {"\xE2\x82", u"\uFFFD\uFFFD"},          // cut short
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) {
    const auto units = DecodeUtf8(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(std::u16string(units.begin(), units.end()), c.expected) << c.bytes;
  }
  EXPECT_TRUE(corvidj::IsAscii("abc", 3));
  EXPECT_FALSE(corvidj::IsAscii("a\x80", 2));
}

}  // namespace

namespace {

TEST(Utf8, SurrogatePairsBecomeFourBytes) {
  EXPECT_EQ(corvidj::StandardUtf8("a\xED\xA0\xB4\xED\xB4\x9E" "b", 8), "a\xF0\x9D\x84\x9E" "b");
  EXPECT_EQ(corvidj::StandardUtf8("\xED\xA0\xB4x", 4), "\xED\xA0\xB4x") << "a lone surrogate stays";
}

}  // namespace
