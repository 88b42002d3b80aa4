// The vault's plaintext document: the exact bytes written, a reader that takes back what the
// writer wrote and tolerates what a careful hand might add, and refuses anything damaged.
#include <gtest/gtest.h>

#include <string>

#include "vault/VaultDocument.h"

namespace wrenpost {
namespace {

VaultEntry Entry(std::wstring id, std::wstring token, std::wstring notes = L"") {
    return VaultEntry{std::move(id), std::move(token), L"Bot", L"@bot", std::move(notes)};
}

struct Parsed {
    bool ok = false;
    std::vector<VaultEntry> entries;
    VaultSecrets secrets;
};

Parsed Read(std::string_view utf8) {
    Parsed parsed;
    parsed.ok = ReadVaultDocument(utf8, parsed.entries, parsed.secrets);
    return parsed;
}

const VaultSecrets kNoSecrets;
const VaultSecrets kSecrets{{L"\u0418", L"}\""}, {L"b\"", L"2"}};

// The reader takes back whatever the writer wrote, look-alike text in notes included.
TEST(VaultDocumentWriter, WritesTheDocumentedBytesThatReadBack) {
    const struct {
        std::vector<VaultEntry> entries;
        const VaultSecrets* secrets;
        std::string expected;
    } cases[] = {
        {{}, &kNoSecrets, R"({"entries":[],"secrets":{}})"},
        {{}, nullptr, R"({"entries":[]})"},
        {{Entry(L"1", L"t", L"a\"b\\c\nd\re\tf/\x01\u0418\U0001F916{[}]\"token\":\"x\""),
          Entry(L"", L"u")},
         &kSecrets,
         R"({"entries":[{"id":"1","token":"t","botName":"Bot","botUsername":"@bot",)"
         R"("notes":"a\"b\\c\nd\re\tf/)"
         "\x01\xD0\x98\xF0\x9F\xA4\x96"
         R"({[}]\"token\":\"x\""},{"id":"","token":"u","botName":"Bot","botUsername":"@bot",)"
         R"("notes":""}],"secrets":{"b\"":"2",")"
         "\xD0\x98"
         R"(":"}\""}})"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WriteVaultDocument(c.entries, c.secrets), c.expected);
        const Parsed back = Read(c.expected);
        ASSERT_TRUE(back.ok) << c.expected;
        EXPECT_EQ(back.entries, c.entries);
        EXPECT_EQ(back.secrets, c.secrets ? *c.secrets : kNoSecrets);
    }
}

TEST(VaultDocumentReader, ReadsWhatACarefulHandMightWrite) {
    const struct {
        std::string document;
        std::vector<VaultEntry> entries;
        VaultSecrets secrets;
    } cases[] = {
        // Spaces, other member order, unknown members holding look-alike text, missing fields.
        {"{ \"version\" : 3,\r\n \"entries\" : [ { \"notes\" : \"n\", \"extra\" : {\"token\":"
         "\"inner\", \"list\": [\"}\", \"]\"]}, \"token\"\t:\t\"T\" , \"id\":\"I\" } ,\n"
         "{\"token\":\"U\",\"flag\":true,\"count\":12} ] , \"secrets\" : { \"s\" : \"v\" ,"
         " \"n\": 5 } }\r\n",
         {{L"I", L"T", L"", L"", L"n"}, {L"", L"U", L"", L"", L""}},
         {{L"s", L"v"}}},
        {R"({"entries":[{"token":"a\/b\u0041\q","notes":"x\\\"y\n"}]})",
         {{L"", L"a/bu0041q", L"", L"", L"x\\\"y\n"}},
         {}},
        {R"({"entries":[{"token":"first","token":"second"},{"id":"x","token":""},{"id":"y"}]})",
         {{L"", L"first", L"", L"", L""}},
         {}},
        // A "secrets" text that is no key, strings beside the entry objects, and a "secrets"
        // member that is not the document's.
        {R"({"entries":[],"k":"v","l":["secrets"]})", {}, {}},
        {R"({"entries":["s",{"token":"t","secrets":{"a":"b"}},"x"],"secrets":{"c":"d"}})",
         {{L"", L"t", L"", L"", L""}},
         {{L"c", L"d"}}},
        {R"({"note":"\"entries\":[{\"token\":\"planted\"}]","entries":[{"notes":"\"token\":1",)"
         R"("token":"real"}]})",
         {{L"", L"real", L"", L"", L"\"token\":1"}},
         {}},
    };
    for (const auto& c : cases) {
        const Parsed back = Read(c.document);
        ASSERT_TRUE(back.ok) << c.document;
        EXPECT_EQ(back.entries, c.entries) << c.document;
        EXPECT_EQ(back.secrets, c.secrets) << c.document;
    }
}

TEST(VaultDocumentReader, RefusesEveryCutOffDocument) {
    const std::string whole = WriteVaultDocument({Entry(L"1", L"t", L"{[\"")}, &kSecrets);
    ASSERT_TRUE(Read(whole).ok);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        EXPECT_FALSE(Read(whole.substr(0, cut)).ok) << whole.substr(0, cut);
    }
}

TEST(VaultDocumentReader, RefusesDamagedDocuments) {
    for (const std::string document :
         {"", "not json at all", R"({"entries":{}})", R"({"entries":[],"secrets":{"a":"b"})",
          R"({"entries":[{"token":"t"]})", R"({"entries":[{"token":"t"}}})", R"({"entries":[]}})",
          R"({"entries":[]}x)", R"(x{"entries":[]})",
          "{\"entries\":[{\"token\":\"a\xFF"
          "b\"}]}",                                // not UTF-8
          "{\"entries\":[{\"token\":\"\xC3\"}]}",  // cut-off sequence
          "{\"entries\":[{\"token\":\"\xED\xA0\x80\"}]}"}) {
        EXPECT_FALSE(Read(document).ok) << document;
    }
}

TEST(VaultDocumentReader, SurvivesHugeNestingAndEndlessLiterals) {
    EXPECT_FALSE(Read("{\"entries\":[{" + std::string(1 << 20, '{') + "}]}").ok);
    EXPECT_FALSE(Read("{\"entries\":[" + std::string(1 << 20, '"')).ok);
    std::string many = "{\"entries\":[";
    for (int i = 0; i < 20000; ++i) {
        many += "{\"token\":\"t" + std::to_string(i) + "\"},";
    }
    many += "]}";
    const Parsed back = Read(many);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.entries.size(), 20000u);
    EXPECT_EQ(back.entries.back().token, L"t19999");
}

}  // namespace
}  // namespace wrenpost
