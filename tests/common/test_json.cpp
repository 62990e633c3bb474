// JSON text as other programs read it: escapes, nesting, non-ASCII and bytes that are not UTF-8,
// and the test reader that reads it back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "JsonParse.h"
#include "common/Json.h"

namespace {

using common::json::Style;
using common::json::Value;
using common::json::Write;
using namespace std::string_literals;

struct Written {
  const char* name;
  Value value;
  std::string text;
};

TEST(JsonWriter, WritesEveryKindOfValue) {
  const Written cases[] = {
      {"null", Value(), "null"},
      {"absent optional", Value(std::optional<int>()), "null"},
      {"present optional", Value(std::optional<int>(7)), "7"},
      {"true", Value(true), "true"},
      {"false", Value(false), "false"},
      {"zero", Value(0), "0"},
      {"negative", Value(-42), "-42"},
      {"32-bit word", Value(0xFFFFFFFFu), "4294967295"},
      {"empty string", Value(""), "\"\""},
      {"quote and backslash", Value("a\"b\\c"), "\"a\\\"b\\\\c\""},
      {"slash is left alone", Value("C:/x"), "\"C:/x\""},
      {"short escapes", Value("\b\f\n\r\t"), "\"\\b\\f\\n\\r\\t\""},
      {"other control bytes", Value("\x00\x01\x1f\x7f"s), "\"\\u0000\\u0001\\u001f\x7f\""},
      {"two-byte character", Value("caf\xC3\xA9"), "\"caf\xC3\xA9\""},
      {"three-byte character", Value("\xE2\x82\xAC"), "\"\xE2\x82\xAC\""},
      {"four-byte character", Value("\xF0\x9F\x90\x99"), "\"\xF0\x9F\x90\x99\""},
      {"stray continuation byte", Value("a\x80z"), "\"a\xEF\xBF\xBDz\""},
      {"latin-1 byte", Value("caf\xE9"), "\"caf\xEF\xBF\xBD\""},
      {"overlong slash", Value("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"overlong three-byte", Value("\xE0\x80\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"surrogate", Value("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"beyond U+10FFFF", Value("\xF4\x90\x80\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"cut short at the end", Value("ok\xE2\x82"), "\"ok\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"empty array", Value(Value::Array{}), "[]"},
      {"empty object", Value(Value::Object{}), "{}"},
      {"array", Value(Value::Array{1, "two", nullptr, false}), "[1,\"two\",null,false]"},
      {"object keeps its order", Value(Value::Object{{"z", 1}, {"a", 2}}), "{\"z\":1,\"a\":2}"},
      {"escaped key", Value(Value::Object{{"a\nb", 1}}), "{\"a\\nb\":1}"},
      {"nesting", Value(Value::Object{{"list", Value::Array{Value::Object{{"x", Value::Array{}}}}}}),
       "{\"list\":[{\"x\":[]}]}"},
  };
  for (const Written& c : cases) EXPECT_EQ(Write(c.value), c.text) << c.name;
}

TEST(JsonWriter, IndentedTextHasAMemberALine) {
  const Value document(Value::Object{{"unit", "U"}, {"boards", Value::Array{Value::Object{{"slot", 0}}, 1}},
                                     {"none", Value::Array{}}});
  EXPECT_EQ(Write(document, Style::Indented),
            "{\n"
            "  \"unit\": \"U\",\n"
            "  \"boards\": [\n"
            "    {\n"
            "      \"slot\": 0\n"
            "    },\n"
            "    1\n"
            "  ],\n"
            "  \"none\": []\n"
            "}");
}

TEST(JsonReader, ReadsBackWhatIsWritten) {
  const Value document(Value::Object{
      {"text", "tab\there, nul \x00, \xC3\xA9\xE2\x82\xAC\xF0\x9F\x90\x99, broken \xFF"s},
      {"numbers", Value::Array{0, -1, 0xFFFFFFFFu}},
      {"flags", Value::Array{true, false, nullptr}},
      {"nested", Value::Object{{"empty", Value::Object{}}}},
  });
  for (const Style style : {Style::Compact, Style::Indented}) {
    std::string error;
    const auto read = kelptest::ParseJson(Write(document, style), &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ((*read)["numbers"], document["numbers"]);
    EXPECT_EQ((*read)["nested"], document["nested"]);
    // The invalid byte came back as U+FFFD, everything else unchanged.
    EXPECT_EQ((*read)["text"].AsString(),
              "tab\there, nul \x00, \xC3\xA9\xE2\x82\xAC\xF0\x9F\x90\x99, broken \xEF\xBF\xBD"s);
  }
  const auto escaped = kelptest::ParseJson(R"(["\u00e9\ud83d\udc19\/", 12])");
  ASSERT_TRUE(escaped);
  EXPECT_EQ(*escaped, Value(Value::Array{"\xC3\xA9\xF0\x9F\x90\x99/", 12}));
  EXPECT_TRUE((*kelptest::ParseJson(R"({"a": null})")).Has("a"));
  EXPECT_FALSE((*kelptest::ParseJson(R"({"a": null})")).Has("b"));
}

TEST(JsonReader, RefusesWhatIsNotOneWellFormedValue) {
  const char* const cases[] = {
      "",           "{",          "[1,]",        "{\"a\" 1}",    "{a: 1}",           "[1] 2",
      "01",         "1.5",        "1e3",         "\"open",       "\"\\x\"",          "\"\\u12\"",
      "\"\\udc00\"", "\"\\ud800\"", "\"a\nb\"",     "\"\xC3\"",     "\"\xED\xA0\x80\"", "nul",
      "tru",        "[\"a\"}",
  };
  for (const char* text : cases) {
    std::string error;
    EXPECT_FALSE(kelptest::ParseJson(text, &error)) << text;
    EXPECT_THAT(error, ::testing::StartsWith("at ")) << text;
  }
}

}  // namespace
