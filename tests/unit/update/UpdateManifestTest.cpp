// Every member rule of the update manifest, version texts and the installer file-name rule.
#include <gtest/gtest.h>

#include "ManifestBuilder.h"
#include "update/UpdateManifest.h"

namespace wrenpost {
namespace {

using testing::Manifest;
using testing::Notes;
using testing::Quoted;

bool Accepts(const std::string& document) {
    UpdateManifest manifest;
    std::string error;
    const bool ok = ParseUpdateManifest(document, manifest, error);
    EXPECT_EQ(error.empty(), ok) << document;
    return ok;
}

TEST(ManifestAcceptance, AcceptsUnknownMembersAnyOrderTrailingSpaceAndLimitValues) {
    std::string escapedNote;
    for (int i = 0; i < 200; ++i) escapedNote += "\\u0041";  // 200 bytes once unescaped
    for (const testing::ManifestChanges& changes : std::initializer_list<testing::ManifestChanges>{
             {{"extra", "{\"nested\":[1,2,3]}"}},
             {{"installer.sizeBytes", "5.24288e8"}},
             {{"installer.sizeBytes", "1"}},
             {{"schemaVersion", std::nullopt}, {"schemaVersion", "1"}},
             {{"releaseNotes", "[]"}},
             {{"releaseNotes", Notes(20, std::string(200, 'n'))}},
             {{"releaseNotes", Notes(1, escapedNote)}},
             {{"latestVersion", "\"0.0.0\""}},
             {{"installer.sha256", Quoted("0123456789abcdef0123456789abcdef"
                                          "0123456789abcdef0123456789abcdef")}},
         }) {
        EXPECT_TRUE(Accepts(Manifest(changes)));
    }
    EXPECT_TRUE(Accepts(Manifest() + " \r\n\t"));
}

TEST(ManifestRefusal, EveryMemberRule) {
    std::vector<testing::ManifestChanges> refused = {
        {{"schemaVersion", "2"}},
        {{"schemaVersion", "\"1\""}},
        {{"platform", "\"Windows\""}},
        {{"architecture", "\"X64\""}},
        {{"downloadPagePath", "\"/download/\""}},
        {{"latestVersion", "\"1.2\""}},
        {{"minimumSupportedVersion", "\"1.0.00\""}},
        {{"releaseNotes", "[\"ok\", 3]"}},
        {{"releaseNotes", Notes(21, "n")}},
        {{"releaseNotes", Notes(1, std::string(201, 'n'))}},
        {{"installer.filename", "\"..\\/setup.exe\""}},  // an escaped slash
        {{"installer.sha256", Quoted(std::string(64, 'A'))}},
        {{"installer.sha256", Quoted(std::string(63, 'a'))}},
        {{"installer.sha256", Quoted(std::string(63, 'a') + "g")}},
    };
    for (const char* name :
         {"schemaVersion", "platform", "architecture", "latestVersion", "minimumSupportedVersion",
          "downloadPagePath", "releaseNotes", "installer", "installer.filename",
          "installer.sizeBytes", "installer.sha256"}) {
        refused.push_back({{name, std::nullopt}});
    }
    for (const char* size : {"0", "524288001", "1.5"}) {
        refused.push_back({{"installer.sizeBytes", size}});
    }
    for (const auto& changes : refused) {
        EXPECT_FALSE(Accepts(Manifest(changes))) << Manifest(changes);
    }
    for (const char* document : {"[]", "{} x"}) {
        EXPECT_FALSE(Accepts(document));
    }
}

TEST(ManifestVersions, RefuseLeadingZerosAndWrongPartCountsAndCompareNumerically) {
    Version a, b;
    for (const char* text : {"1.01.0", "1.1", "1.2.3.4", "1..0", "1.0.-1", "1.0.1000000000", ""}) {
        EXPECT_FALSE(ParseVersionText(text, a)) << text;
    }
    ASSERT_TRUE(ParseVersionText("999999999.10.0", a) && ParseVersionText("999999999.9.9", b));
    EXPECT_EQ(VersionText(a), L"999999999.10.0");
    EXPECT_GT(a, b);
}

TEST(ManifestInstaller, FileNameRule) {
    const std::string longest = std::string(124, 'x') + ".exe";
    for (const std::string& name : {std::string("W_S-1.2.0.Exe"), longest}) {
        EXPECT_TRUE(IsValidInstallerFileName(name)) << name;
    }
    for (const std::string& name :
         {"x" + longest, std::string("set..up.exe"), std::string("dir/setup.exe"),
          std::string("setup\xC3\xA9.exe"), std::string("exe"), std::string(""),
          std::string("setup.exe.txt")}) {
        EXPECT_FALSE(IsValidInstallerFileName(name)) << name;
    }
}

}  // namespace
}  // namespace wrenpost
