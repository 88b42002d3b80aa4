// The strict JSON reader the update manifest goes through: what it accepts, what it refuses, and
// how deep it lets a document nest.
#include <gtest/gtest.h>

#include <string>

#include "update/StrictJson.h"

namespace wrenpost {
namespace {

JsonValue Parse(const std::string& text) {
    JsonValue value;
    std::string error;
    EXPECT_TRUE(ParseStrictJson(text, value, error)) << text << ": " << error;
    return value;
}

bool Refuses(const std::string& text) {
    JsonValue value;
    std::string error;
    const bool ok = ParseStrictJson(text, value, error);
    if (!ok) {
        EXPECT_FALSE(error.empty()) << text;
    }
    return !ok;
}

std::string Nested(int arrays, const std::string& inner) {
    return std::string(arrays, '[') + inner + std::string(arrays, ']');
}

TEST(StrictJsonScalars, ReadLiteralsNumbersAndStrings) {
    EXPECT_EQ(Parse("null").kind, JsonKind::Null);
    EXPECT_TRUE(Parse("true").boolean);
    EXPECT_EQ(Parse("false").kind, JsonKind::Bool);
    EXPECT_FALSE(Parse("false").boolean);
    const std::pair<const char*, double> numbers[] = {{"0", 0.0},
                                                      {"-12", -12.0},
                                                      {"3.25", 3.25},
                                                      {"1e3", 1000.0},
                                                      {"2.5E-1", 0.25},
                                                      {"-0.5e+2", -50.0},
                                                      {"524288000", 524288000.0}};
    for (const auto& [text, number] : numbers) {
        EXPECT_EQ(Parse(text).kind, JsonKind::Number) << text;
        EXPECT_EQ(Parse(text).number, number) << text;
    }
    EXPECT_EQ(Parse("\"plain\"").text, "plain");
}

TEST(StrictJsonScalars, RefuseMalformedNumbersAndLiterals) {
    for (const char* text : {"+1", ".5", "01", "-", "1.", "1.e3", "1e", "1e+", "0x10", "--1", "tru",
                             "True", "nul", "nulll", "NaN", "Infinity", "-Infinity",
                             // cut short before a delimiter, not only at the end of the text
                             "[-]", "[1.]", "[1e]", "[1e+]"}) {
        EXPECT_TRUE(Refuses(text)) << text;
    }
}

TEST(StrictJsonWhitespace, AllowsOnlySpaceTabCrLfAroundTheValueAndNothingAfterIt) {
    EXPECT_EQ(Parse(" \t\r\n{ \"a\" :\t1 }\r\n ").Find("a")->number, 1.0);
    for (const std::string& text :
         {std::string("\f{}"), std::string("{}\v"), std::string("{}\0", 3),
          std::string("\xC2\xA0{}"), std::string("{} {}"), std::string("{}x"), std::string("1 2"),
          std::string("[1],"), std::string("\"a\"\""), std::string(""), std::string("   ")}) {
        EXPECT_TRUE(Refuses(text)) << text;
    }
}

TEST(StrictJsonStrings, DecodeEscapesTurningThoseOf128AndAboveIntoQuestionMarks) {
    EXPECT_EQ(Parse(R"("\"\\\/\b\f\n\r\t")").text, "\"\\/\b\f\n\r\t");
    EXPECT_EQ(Parse(R"("\u0041\u006a\u006A\u007f")").text, "Ajj\x7f");
    EXPECT_EQ(Parse(R"("caf\u00e9\u0080\uFFFF")").text, "caf???");
    // A surrogate pair is two escapes, so two question marks; raw UTF-8 stays as it is.
    EXPECT_EQ(Parse(R"("\ud83d\ude00")").text, "??");
    EXPECT_EQ(Parse("\"\xD0\x98\xE2\x80\xA2\"").text, "\xD0\x98\xE2\x80\xA2");
}

TEST(StrictJsonStrings, RefuseRawControlCharactersBadEscapesAndUnterminatedText) {
    for (int c = 0; c < 0x20; ++c) {
        EXPECT_TRUE(Refuses("\"a" + std::string(1, static_cast<char>(c)) + "b\"")) << c;
    }
    EXPECT_EQ(Parse("\"\x7f\"").text, "\x7f");
    for (const char* text : {R"("\a")", R"("\x41")", R"("\U0041")", R"("\u004")", R"("\u00G1")",
                             R"("\u")", R"("\)", R"("\')", R"("\0")", "\"abc", "\"", "'a'"}) {
        EXPECT_TRUE(Refuses(text)) << text;
    }
}

TEST(StrictJsonContainers, ReadArraysAndObjects) {
    const JsonValue value = Parse(R"({"list":[1,"two",[],{}],"empty":{},"n":null})");
    ASSERT_EQ(value.kind, JsonKind::Object);
    const JsonValue* list = value.Find("list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->items.size(), 4u);
    EXPECT_EQ(list->items[1].text, "two");
    EXPECT_EQ(list->items[2].kind, JsonKind::Array);
    EXPECT_EQ(list->items[3].kind, JsonKind::Object);
    EXPECT_EQ(value.Find("empty")->kind, JsonKind::Object);
    EXPECT_EQ(value.Find("n")->kind, JsonKind::Null);
    EXPECT_EQ(value.Find("missing"), nullptr);
    EXPECT_EQ(list->Find("list"), nullptr);
}

TEST(StrictJsonContainers, LetALaterDuplicateNameReplaceTheEarlierValue) {
    const JsonValue value = Parse(R"({"a":1,"b":"x","a":"second","a":3})");
    ASSERT_NE(value.Find("a"), nullptr);
    EXPECT_EQ(value.Find("a")->kind, JsonKind::Number);
    EXPECT_EQ(value.Find("a")->number, 3.0);
    EXPECT_EQ(value.Find("b")->text, "x");
    // Names are compared after unescaping.
    EXPECT_EQ(Parse(R"({"ab":1,"a\u0062":2})").Find("ab")->number, 2.0);
}

TEST(StrictJsonContainers, RefuseMalformedStructure) {
    for (const char* text :
         {"[1,]", "[,1]", "[1 2]", "{\"a\":1,}", "{\"a\" 1}", "{a:1}", "{\"a\":}", "{1:1}",
          "{'a':1}", "[", "{", "]", "}", "[}", "{]", "{\"a\":1", "[1"}) {
        EXPECT_TRUE(Refuses(text)) << text;
    }
}

TEST(StrictJsonDepth, AcceptsValuesUpToDepthSixteenAndRefusesDepthSeventeen) {
    // Sixteen arrays around a number put the number at depth 16.
    const JsonValue* value = nullptr;
    const JsonValue root = Parse(Nested(16, "1"));
    value = &root;
    for (int depth = 0; depth < 16; ++depth) {
        ASSERT_EQ(value->items.size(), 1u);
        value = &value->items[0];
    }
    EXPECT_EQ(value->number, 1.0);
    EXPECT_EQ(Parse(Nested(17, "")).kind, JsonKind::Array);  // the innermost is at depth 16
    EXPECT_TRUE(Refuses(Nested(17, "1")));
    EXPECT_TRUE(Refuses(Nested(18, "")));
    std::string objects;
    for (int i = 0; i < 16; ++i) objects += "{\"k\":";
    EXPECT_EQ(Parse(objects + "true" + std::string(16, '}')).kind, JsonKind::Object);
    EXPECT_TRUE(Refuses("{\"k\":" + objects + "true" + std::string(17, '}')));
}

TEST(StrictJsonDepth, RefusesHugeNestingWithoutExhaustingTheStack) {
    EXPECT_TRUE(Refuses(std::string(1'000'000, '[')));
    EXPECT_TRUE(Refuses(Nested(200'000, "")));
}

TEST(StrictJsonFailures, LeaveTheOutputUntouched) {
    JsonValue value;
    std::string error;
    ASSERT_TRUE(ParseStrictJson("{\"kept\":1}", value, error));
    EXPECT_FALSE(ParseStrictJson("{\"lost\":1", value, error));
    EXPECT_NE(value.Find("kept"), nullptr);
    EXPECT_EQ(value.Find("lost"), nullptr);
}

}  // namespace
}  // namespace wrenpost
