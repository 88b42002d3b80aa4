// Every member rule of the update manifest, the version text rule and its ordering, and the
// installer file-name rule.
#include <gtest/gtest.h>

#include "ManifestBuilder.h"
#include "update/UpdateManifest.h"

namespace wrenpost {
namespace {

using testing::ManifestBuilder;

bool Accepts(const std::string& document, UpdateManifest* out = nullptr) {
    UpdateManifest manifest;
    std::string error;
    const bool ok = ParseUpdateManifest(document, manifest, error);
    EXPECT_EQ(error.empty(), ok) << document;
    if (ok && out != nullptr) {
        *out = manifest;
    }
    return ok;
}

bool Accepts(const ManifestBuilder& builder, UpdateManifest* out = nullptr) {
    return Accepts(builder.Build(), out);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string Repeat(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(ManifestAcceptance, AWellFormedManifestYieldsEveryField) {
    UpdateManifest manifest;
    ASSERT_TRUE(Accepts(ManifestBuilder(), &manifest));
    EXPECT_EQ(manifest.latestVersion, (Version{1, 2, 0}));
    EXPECT_EQ(manifest.latestVersionText, "1.2.0");
    EXPECT_EQ(manifest.minimumSupportedVersion, (Version{1, 0, 0}));
    EXPECT_EQ(manifest.minimumSupportedVersionText, "1.0.0");
    EXPECT_EQ(manifest.downloadPagePath, "/download");
    EXPECT_EQ(manifest.installerFileName, "WrenpostSetup-1.2.0.exe");
    EXPECT_EQ(manifest.installerSizeBytes, 12345678u);
    EXPECT_EQ(manifest.installerSha256, std::string(64, 'a'));
    EXPECT_EQ(manifest.releaseNotes,
              (std::vector<std::string>{"Faster start-up", "Fixed the tray icon"}));
}

TEST(ManifestAcceptance, AcceptsUnknownMembersAnyOrderTrailingSpaceAndLimitValues) {
    for (const ManifestBuilder& builder : {
             ManifestBuilder().Set("extra", "{\"nested\":[1,2,3]}"),
             ManifestBuilder().Set("schemaVersion", std::nullopt).Set("schemaVersion", "1"),
             ManifestBuilder().Set("releaseNotes", "[]"),
             ManifestBuilder().Set("releaseNotes",
                                   ManifestBuilder::Notes(20, std::string(200, 'n'))),
             ManifestBuilder().Set(
                 "releaseNotes", ManifestBuilder::Notes(1, Repeat("\xD0\x98", 100))),  // 200 bytes
             ManifestBuilder().Set(
                 "releaseNotes",
                 ManifestBuilder::Notes(1, Repeat("\\u0041", 200))),  // 200 once unescaped
             ManifestBuilder().SetText("latestVersion", "0.0.0"),
             ManifestBuilder().SetInstaller(
                 "sha256",
                 Quoted("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef")),
         }) {
        EXPECT_TRUE(Accepts(builder));
    }
    EXPECT_TRUE(Accepts(ManifestBuilder().Build() + " \r\n\t"));
}

TEST(ManifestAcceptance, UsesTheLastOfRepeatedMembers) {
    // "trailer" is appended after every other top-level member and smuggles in a repeat.
    UpdateManifest manifest;
    ASSERT_TRUE(
        Accepts(ManifestBuilder().Set("trailer", "0, \"latestVersion\": \"2.0.0\""), &manifest));
    EXPECT_EQ(manifest.latestVersionText, "2.0.0");
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("trailer", "0, \"schemaVersion\": 2")));
    EXPECT_TRUE(Accepts(
        ManifestBuilder().Set("schemaVersion", "2").Set("trailer", "0, \"schemaVersion\": 1")));
}

TEST(ManifestRefusal, EveryMemberRule) {
    std::vector<ManifestBuilder> refused = {
        ManifestBuilder().Set("schemaVersion", "2"),
        ManifestBuilder().Set("schemaVersion", "\"1\""),
        ManifestBuilder().SetText("platform", "Windows"),
        ManifestBuilder().SetText("architecture", "x86"),
        ManifestBuilder().SetText("architecture", "X64"),
        ManifestBuilder().SetText("downloadPagePath", "/download/"),
        ManifestBuilder().SetText("downloadPagePath", "https://evil.example/"),
        ManifestBuilder().Set("platform", "null"),
        ManifestBuilder().Set("latestVersion", "1.2"),
        ManifestBuilder().Set("releaseNotes", "\"one note\""),
        ManifestBuilder().Set("releaseNotes", "[\"ok\", 3]"),
        ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(21, "n")),
        ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(1, std::string(201, 'n'))),
        ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(1, Repeat("\xD0\x98", 101))),
        ManifestBuilder().WithoutInstaller(),
        ManifestBuilder().WithoutInstaller().Set("installer", "[]"),
        ManifestBuilder().SetInstaller("sizeBytes", "\"12\""),
        ManifestBuilder().SetInstaller("filename", "7"),
        ManifestBuilder().SetInstaller("filename", "\"../setup.exe\""),
        ManifestBuilder().SetInstaller("filename", "\"..\\/setup.exe\""),  // an escaped slash
        ManifestBuilder().SetInstaller("sha256", Quoted(std::string(64, 'A'))),
        ManifestBuilder().SetInstaller("sha256", Quoted(std::string(63, 'a'))),
        ManifestBuilder().SetInstaller("sha256", Quoted(std::string(65, 'a'))),
        ManifestBuilder().SetInstaller("sha256", Quoted(std::string(63, 'a') + "g")),
    };
    for (const char* name : {"schemaVersion", "platform", "architecture", "latestVersion",
                             "minimumSupportedVersion", "downloadPagePath", "releaseNotes"}) {
        refused.push_back(ManifestBuilder().Set(name, std::nullopt));
    }
    for (const char* name : {"filename", "sizeBytes", "sha256"}) {
        refused.push_back(ManifestBuilder().SetInstaller(name, std::nullopt));
    }
    for (const char* size : {"0", "524288001", "-1", "1e300", "1.5", "0.5"}) {
        refused.push_back(ManifestBuilder().SetInstaller("sizeBytes", size));
    }
    for (const ManifestBuilder& builder : refused) {
        EXPECT_FALSE(Accepts(builder)) << builder.Build();
    }
    for (const char* document : {"[]", "\"text\"", "{} x"}) {
        EXPECT_FALSE(Accepts(std::string(document)));
    }
}

TEST(ManifestInstaller, SizeFromOneByteTo500MiB) {
    UpdateManifest manifest;
    for (const auto& [text, size] : {std::pair{"1", 1u}, std::pair{"524288000", 524288000u},
                                     std::pair{"5.24288e8", 524288000u}}) {
        ASSERT_TRUE(Accepts(ManifestBuilder().SetInstaller("sizeBytes", text), &manifest));
        EXPECT_EQ(manifest.installerSizeBytes, size);
    }
}

TEST(ManifestVersions, RefuseLeadingZerosAndWrongPartCounts) {
    for (const char* text :
         {"1.01.0", "1.1", "1", "1.2.3.4", "01.0.0", "1.0.00", "1..0", ".1.0", "1.0.", "1.0.0 ",
          " 1.0.0", "1.0.-1", "1.0.+1", "a.b.c", "1.0.1000000000", "1.0.0\xD9\xA1", ""}) {
        EXPECT_FALSE(Accepts(ManifestBuilder().SetText("latestVersion", text))) << text;
        EXPECT_FALSE(Accepts(ManifestBuilder().SetText("minimumSupportedVersion", text))) << text;
    }
}

TEST(ManifestVersions, AcceptNineDigitPartsAndCompareNumerically) {
    Version version;
    ASSERT_TRUE(ParseVersionText("999999999.10.0", version));
    EXPECT_EQ(VersionText(version), L"999999999.10.0");
    Version a;
    Version b;
    ASSERT_TRUE(ParseVersionText("1.10.0", a));
    ASSERT_TRUE(ParseVersionText("1.9.9", b));
    EXPECT_GT(a, b);
    EXPECT_LT((Version{1, 99, 99}), (Version{2, 0, 0}));
}

TEST(ManifestInstaller, FileNameRule) {
    const std::string longest = std::string(124, 'x') + ".exe";
    for (const std::string& name :
         {std::string("setup.EXE"), std::string("Wrenpost_Setup-1.2.0.Exe"), std::string("a.exe"),
          longest}) {
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
