// Every member rule of the update manifest, the version text rule and its ordering, and the
// installer file-name rule.
#include <gtest/gtest.h>

#include "ManifestBuilder.h"
#include "update/UpdateManifest.h"

namespace wrenpost {
namespace {

using testing::Manifest;
using testing::Notes;
using testing::Quoted;

bool Accepts(const std::string& document, UpdateManifest* out = nullptr) {
    UpdateManifest manifest;
    std::string error;
    const bool ok = ParseUpdateManifest(document, manifest, error);
    EXPECT_EQ(error.empty(), ok) << document;
    if (ok && out != nullptr)
        *out = manifest;
    return ok;
}

std::string Repeat(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(ManifestAcceptance, AWellFormedManifestYieldsEveryField) {
    UpdateManifest m;
    ASSERT_TRUE(Accepts(Manifest({{"installer.sizeBytes", "5.24288e8"}}), &m));
    EXPECT_EQ(m.latestVersion, (Version{1, 2, 0}));
    EXPECT_EQ(m.latestVersionText + m.minimumSupportedVersionText + m.downloadPagePath +
                  m.installerFileName + m.installerSha256,
              "1.2.01.0.0/downloadWrenpostSetup-1.2.0.exe" + std::string(64, 'a'));
    EXPECT_EQ(m.minimumSupportedVersion, (Version{1, 0, 0}));
    EXPECT_EQ(m.installerSizeBytes, 524288000u);
    EXPECT_EQ(m.releaseNotes, (std::vector<std::string>{"Faster start-up", "Fixed the tray icon"}));
    ASSERT_TRUE(Accepts(Manifest({{"installer.sizeBytes", "1"}}), &m));
    EXPECT_EQ(m.installerSizeBytes, 1u);
}

TEST(ManifestAcceptance, AcceptsUnknownMembersAnyOrderTrailingSpaceAndLimitValues) {
    for (const testing::ManifestChanges& changes : std::initializer_list<testing::ManifestChanges>{
             {{"extra", "{\"nested\":[1,2,3]}"}},
             {{"schemaVersion", std::nullopt}, {"schemaVersion", "1"}},
             {{"releaseNotes", "[]"}},
             {{"releaseNotes", Notes(20, std::string(200, 'n'))}},
             {{"releaseNotes", Notes(1, Repeat("\xD0\x98", 100))}},  // 200 bytes
             {{"releaseNotes", Notes(1, Repeat("\\u0041", 200))}},   // 200 once unescaped
             {{"latestVersion", "\"0.0.0\""}},
             {{"installer.sha256", Quoted("0123456789abcdef0123456789abcdef"
                                          "0123456789abcdef0123456789abcdef")}},
         }) {
        EXPECT_TRUE(Accepts(Manifest(changes)));
    }
    EXPECT_TRUE(Accepts(Manifest() + " \r\n\t"));
    // The last of repeated members counts: "trailer" goes after every other member.
    UpdateManifest manifest;
    ASSERT_TRUE(Accepts(Manifest({{"trailer", "0, \"latestVersion\": \"2.0.0\""}}), &manifest));
    EXPECT_EQ(manifest.latestVersionText, "2.0.0");
    EXPECT_FALSE(Accepts(Manifest({{"trailer", "0, \"schemaVersion\": 2"}})));
    EXPECT_TRUE(
        Accepts(Manifest({{"schemaVersion", "2"}, {"trailer", "0, \"schemaVersion\": 1"}})));
}

TEST(ManifestRefusal, EveryMemberRule) {
    std::vector<testing::ManifestChanges> refused = {
        {{"schemaVersion", "2"}},
        {{"schemaVersion", "\"1\""}},
        {{"platform", "\"Windows\""}},
        {{"architecture", "\"x86\""}},
        {{"architecture", "\"X64\""}},
        {{"downloadPagePath", "\"/download/\""}},
        {{"downloadPagePath", "\"https://evil.example/\""}},
        {{"platform", "null"}},
        {{"latestVersion", "1.2"}},
        {{"releaseNotes", "\"one note\""}},
        {{"releaseNotes", "[\"ok\", 3]"}},
        {{"releaseNotes", Notes(21, "n")}},
        {{"releaseNotes", Notes(1, std::string(201, 'n'))}},
        {{"releaseNotes", Notes(1, Repeat("\xD0\x98", 101))}},
        {{"installer", "[]"}},
        {{"installer.sizeBytes", "\"12\""}},
        {{"installer.filename", "7"}},
        {{"installer.filename", "\"../setup.exe\""}},
        {{"installer.filename", "\"..\\/setup.exe\""}},  // an escaped slash
        {{"installer.sha256", Quoted(std::string(64, 'A'))}},
        {{"installer.sha256", Quoted(std::string(63, 'a'))}},
        {{"installer.sha256", Quoted(std::string(65, 'a'))}},
        {{"installer.sha256", Quoted(std::string(63, 'a') + "g")}},
    };
    for (const char* name :
         {"schemaVersion", "platform", "architecture", "latestVersion", "minimumSupportedVersion",
          "downloadPagePath", "releaseNotes", "installer", "installer.filename",
          "installer.sizeBytes", "installer.sha256"}) {
        refused.push_back({{name, std::nullopt}});
    }
    for (const char* size : {"0", "524288001", "-1", "1e300", "1.5", "0.5"}) {
        refused.push_back({{"installer.sizeBytes", size}});
    }
    for (const auto& changes : refused) {
        EXPECT_FALSE(Accepts(Manifest(changes))) << Manifest(changes);
    }
    for (const char* document : {"[]", "\"text\"", "{} x"}) {
        EXPECT_FALSE(Accepts(document));
    }
}

TEST(ManifestVersions, RefuseLeadingZerosAndWrongPartCountsAndCompareNumerically) {
    for (const char* text :
         {"1.01.0", "1.1", "1", "1.2.3.4", "01.0.0", "1.0.00", "1..0", ".1.0", "1.0.", "1.0.0 ",
          " 1.0.0", "1.0.-1", "1.0.+1", "a.b.c", "1.0.1000000000", "1.0.0\xD9\xA1", ""}) {
        EXPECT_FALSE(Accepts(Manifest({{"latestVersion", Quoted(text)}}))) << text;
        EXPECT_FALSE(Accepts(Manifest({{"minimumSupportedVersion", Quoted(text)}}))) << text;
    }
    Version a, b;
    ASSERT_TRUE(ParseVersionText("999999999.10.0", a));
    EXPECT_EQ(VersionText(a), L"999999999.10.0");
    ASSERT_TRUE(ParseVersionText("1.10.0", a));
    ASSERT_TRUE(ParseVersionText("1.9.9", b));
    EXPECT_GT(a, b);
    EXPECT_LT((Version{1, 99, 99}), (Version{2, 0, 0}));
}

TEST(ManifestInstaller, FileNameRule) {
    const std::string longest = std::string(124, 'x') + ".exe";
    for (const std::string& name :
         {std::string("setup.EXE"), std::string("W_S-1.2.0.Exe"), longest}) {
        EXPECT_TRUE(IsValidInstallerFileName(name)) << name;
    }
    for (const std::string& name :
         {"x" + longest, std::string("../setup.exe"), std::string("setup .exe"),
          std::string("dir/setup.exe"), std::string("dir\\setup.exe"), std::string("C:setup.exe"),
          std::string("set..up.exe"), std::string("setup.msi"), std::string("setup.exe.txt"),
          std::string("exe"), std::string(""), std::string("setup\xC3\xA9.exe"),
          std::string("setup.ex"), std::string("setup%2e.exe")}) {
        EXPECT_FALSE(IsValidInstallerFileName(name)) << name;
    }
}

}  // namespace
}  // namespace wrenpost
