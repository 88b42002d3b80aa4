// The vault's plaintext document: the exact bytes written, a reader that takes back what the
// writer wrote and tolerates what a careful hand might add, and refuses anything damaged.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "vault/VaultDocument.h"

namespace wrenpost {
namespace {

VaultEntry Entry(std::wstring id, std::wstring token, std::wstring notes = L"") {
    return VaultEntry{std::move(id), std::move(token), L"Bot", L"@bot", std::move(notes)};
}

// The entries and secrets of a document the reader accepts.
std::optional<std::pair<std::vector<VaultEntry>, VaultSecrets>> Read(std::string_view utf8) {
    std::pair<std::vector<VaultEntry>, VaultSecrets> read;
    return ReadVaultDocument(utf8, read.first, read.second) ? std::optional(read) : std::nullopt;
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
        EXPECT_EQ(Read(c.expected), std::pair(c.entries, c.secrets ? *c.secrets : kNoSecrets));
    }
}

// An entry with only a token (and notes).
VaultEntry Token(std::wstring token, std::wstring notes = L"") {
    return VaultEntry{L"", std::move(token), L"", L"", std::move(notes)};
}

TEST(VaultDocumentReader, ReadsWhatACarefulHandMightWrite) {
    const std::tuple<std::string, std::vector<VaultEntry>, VaultSecrets> cases[] = {
        // Spaces, other member order, unknown members holding look-alike text, missing fields.
        {"{ \"version\" : 3,\r\n \"entries\" : [ { \"notes\" : \"n\", \"extra\" : {\"token\":"
         "\"inner\", \"list\": [\"}\", \"]\"]}, \"token\"\t:\t\"T\" , \"id\":\"I\" } ,\n"
         "{\"token\":\"U\",\"flag\":true,\"count\":12} ] , \"secrets\" : { \"s\" : \"v\" ,"
         " \"n\": 5 } }\r\n",
         {{L"I", L"T", L"", L"", L"n"}, Token(L"U")},
         {{L"s", L"v"}}},
        {R"({"entries":[{"token":"a\/b\u0041\q","notes":"x\\\"y\n"}]})",
         {Token(L"a/bu0041q", L"x\\\"y\n")},
         {}},
        {R"({"entries":[{"token":"first","token":"second"},{"id":"x","token":""},{"id":"y"}]})",
         {Token(L"first")},
         {}},
        // A "secrets" text that is no key, strings beside the entry objects, and a "secrets"
        // member that is not the document's.
        {R"({"entries":[],"k":"v","l":["secrets"]})", {}, {}},
        {R"({"entries":["s",{"token":"t","secrets":{"a":"b"}},"x"],"secrets":{"c":"d"}})",
         {Token(L"t")},
         {{L"c", L"d"}}},
        {R"({"note":"\"entries\":[{\"token\":\"planted\"}]","entries":[{"notes":"\"token\":1",)"
         R"("token":"real"}]})",
         {Token(L"real", L"\"token\":1")},
         {}},
    };
    for (const auto& [document, entries, secrets] : cases) {
        EXPECT_EQ(Read(document), std::pair(entries, secrets)) << document;
    }
}

// Every cut-off prefix, text that is not strictly UTF-8, and anything beside the one object.
TEST(VaultDocumentReader, RefusesDamagedDocuments) {
    const std::string whole = WriteVaultDocument({Entry(L"1", L"t", L"{[\"")}, &kSecrets);
    ASSERT_TRUE(Read(whole));
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        EXPECT_FALSE(Read(whole.substr(0, cut))) << whole.substr(0, cut);
    }
    for (const std::string& document : std::initializer_list<std::string>{
             "not json at all", R"({"entries":{}})", R"({"entries":[{"token":"t"]})",
             R"({"entries":[{"token":"t"}}})", R"({"entries":[]}})", R"({"entries":[]}x)",
             R"(x{"entries":[]})", "{\"entries\":[{\"token\":\"a\xFF!\"}]}",
             "{\"entries\":[{\"token\":\"\xC3\"}]}", "{\"entries\":[{\"token\":\"\xED\xA0\x80\"}]}",
             "{\"entries\":[{" + std::string(1 << 20, '{') + "}]}",
             "{\"entries\":[" + std::string(1 << 20, '"')}) {
        EXPECT_FALSE(Read(document)) << document.substr(0, 40);
    }
}

}  // namespace
}  // namespace wrenpost
