// The strict JSON reader behind the update manifest: values, refusals and the depth limit.
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
    EXPECT_EQ(error.empty(), ok) << text;
    return !ok;
}

std::string Nested(int arrays, const std::string& inner) {
    return std::string(arrays, '[') + inner + std::string(arrays, ']');
}

TEST(StrictJsonValues, ReadLiteralsNumbersStringsAndContainers) {
    EXPECT_TRUE(Parse("true").boolean && !Parse("false").boolean);
    EXPECT_EQ(Parse("false").kind, JsonKind::Bool);
    for (const auto& [text, number] :
         {std::pair{"0", 0.0}, std::pair{"-12", -12.0}, std::pair{"3.25", 3.25},
          std::pair{"1e3", 1000.0}, std::pair{"2.5E-1", 0.25}, std::pair{"-0.5e+2", -50.0}}) {
        const JsonValue value = Parse(text);
        EXPECT_TRUE(value.kind == JsonKind::Number && value.number == number) << text;
    }
    // Escapes of 128 and above become question marks (a surrogate pair two); raw UTF-8 stays.
    EXPECT_EQ(Parse(R"("\u0041\n\u00e9\ud83d\ude00")").text, "A\n???");
    EXPECT_EQ(Parse("\"\xD0\x98\x7f\"").text, "\xD0\x98\x7f");
    const JsonValue value =
        Parse(" \t\r\n{ \"list\" :\t[1,\"two\",[],{}],\"e\":{},\"n\":null }\r\n");
    ASSERT_EQ(value.kind, JsonKind::Object);
    const JsonValue* list = value.Find("list");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->items.size(), 4u);
    EXPECT_TRUE(list->items[1].text == "two" && list->items[2].kind == JsonKind::Array &&
                list->items[3].kind == JsonKind::Object &&
                value.Find("e")->kind == JsonKind::Object &&
                value.Find("n")->kind == JsonKind::Null);
    EXPECT_TRUE(value.Find("missing") == nullptr && list->Find("list") == nullptr);
}

TEST(StrictJsonValues, ALaterDuplicateNameReplacesTheEarlierValue) {
    const JsonValue value = Parse(R"({"a":1,"b":"x","a":"second","a":3})");
    ASSERT_NE(value.Find("a"), nullptr);
    EXPECT_EQ(value.Find("a")->number, 3.0);
    EXPECT_EQ(value.Find("b")->text, "x");
    // Names are compared after unescaping.
    EXPECT_EQ(Parse(R"({"ab":1,"a\u0062":2})").Find("ab")->number, 2.0);
}

TEST(StrictJsonRefusals, MalformedNumbersLiteralsStringsStructureAndSurroundings) {
    for (const std::string& text : std::initializer_list<std::string>{
             "+1", ".5", "01", "-", "1.", "1.e3", "1e", "1e+", "0x10", "--1", "tru", "True", "nul",
             "nulll", "NaN", "-Infinity",
             // cut short before a delimiter, not only at the end of the text
             "[-]", "[1.]", "[1e]", "[1e+]",
             // only space, tab, CR and LF around the value, and nothing after it
             "\f{}", "{}\v", std::string("{}\0", 3), "\xC2\xA0{}", "{} {}", "{}x", "1 2", "[1],",
             "\"a\"\"", "", "   ", R"("\a")", R"("\u004")", "\"abc", "\"", "'a'", "[1,]", "[,1]",
             "[1 2]", "{\"a\":1,}", "{\"a\" 1}", "{a:1}", "{\"a\":}", "{1:1}", "{'a':1}", "[", "{",
             "]", "}", "[}", "{]", "{\"a\":1", "[1"}) {
        EXPECT_TRUE(Refuses(text)) << text;
    }
    EXPECT_TRUE(Refuses("\"a\x1f\""));  // the string rules are the shared decoder's
}

TEST(StrictJsonDepth, AcceptsValuesUpToDepthSixteenAndRefusesDepthSeventeen) {
    // Sixteen arrays around a number put the number at depth 16.
    const JsonValue root = Parse(Nested(16, "1"));
    const JsonValue* value = &root;
    for (int depth = 0; depth < 16; ++depth) {
        ASSERT_EQ(value->items.size(), 1u);
        value = &value->items[0];
    }
    EXPECT_EQ(value->number, 1.0);
    EXPECT_EQ(Parse(Nested(17, "")).kind, JsonKind::Array);  // the innermost is at depth 16
    EXPECT_TRUE(Refuses(Nested(17, "1")));
    std::string objects;
    for (int i = 0; i < 16; ++i) objects += "{\"k\":";
    EXPECT_EQ(Parse(objects + "true" + std::string(16, '}')).kind, JsonKind::Object);
    EXPECT_TRUE(Refuses("{\"k\":" + objects + "true" + std::string(17, '}')));
    // Huge nesting is refused without exhausting the stack.
    EXPECT_TRUE(Refuses(std::string(1'000'000, '[')));
    EXPECT_TRUE(Refuses(Nested(200'000, "")));
}

}  // namespace
}  // namespace wrenpost
