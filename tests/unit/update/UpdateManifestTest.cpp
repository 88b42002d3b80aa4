// Every member rule of the update manifest, the version text rule and its ordering, and the
// installer file-name rule.
#include <gtest/gtest.h>

#include "ManifestBuilder.h"
#include "update/UpdateManifest.h"

namespace wrenpost {
namespace {

using testing::ManifestBuilder;

bool Accepts(const ManifestBuilder& builder, UpdateManifest* out = nullptr) {
    UpdateManifest manifest;
    std::string error;
    const bool ok = ParseUpdateManifest(builder.Build(), manifest, error);
    if (ok && out != nullptr) {
        *out = manifest;
    }
    if (!ok) {
        EXPECT_FALSE(error.empty());
    }
    return ok;
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

TEST(ManifestAcceptance, IgnoresUnknownMembersAndMemberOrder) {
    EXPECT_TRUE(Accepts(ManifestBuilder().Set("extra", "{\"nested\":[1,2,3]}")));
    // Removing and re-adding moves the member to the end of the document.
    EXPECT_TRUE(
        Accepts(ManifestBuilder().Set("schemaVersion", std::nullopt).Set("schemaVersion", "1")));
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

TEST(ManifestFixedMembers, RefuseOtherSchemaPlatformOrArchitecture) {
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("schemaVersion", "2")));
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("schemaVersion", "\"1\"")));
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("schemaVersion", "0")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetText("platform", "Windows")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetText("platform", "macos")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetText("architecture", "x86")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetText("architecture", "arm64")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetText("architecture", "X64")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetText("downloadPagePath", "/download/")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetText("downloadPagePath", "https://evil.example/")));
}

TEST(ManifestFixedMembers, RefuseAnyMissingMember) {
    for (const char* name : {"schemaVersion", "platform", "architecture", "latestVersion",
                             "minimumSupportedVersion", "downloadPagePath", "releaseNotes"}) {
        EXPECT_FALSE(Accepts(ManifestBuilder().Set(name, std::nullopt))) << name;
    }
    EXPECT_FALSE(Accepts(ManifestBuilder().WithoutInstaller()));
    for (const char* name : {"filename", "sizeBytes", "sha256"}) {
        EXPECT_FALSE(Accepts(ManifestBuilder().SetInstaller(name, std::nullopt))) << name;
    }
}

TEST(ManifestFixedMembers, RefuseWrongTypes) {
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("platform", "null")));
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("latestVersion", "1.2")));
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("releaseNotes", "\"one note\"")));
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("releaseNotes", "[\"ok\", 3]")));
    EXPECT_FALSE(Accepts(ManifestBuilder().WithoutInstaller().Set("installer", "[]")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetInstaller("sizeBytes", "\"12\"")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetInstaller("filename", "7")));
}

TEST(ManifestDocument, MustBeOneJsonObject) {
    UpdateManifest manifest;
    std::string error;
    EXPECT_FALSE(ParseUpdateManifest("[]", manifest, error));
    EXPECT_FALSE(ParseUpdateManifest("\"text\"", manifest, error));
    EXPECT_FALSE(ParseUpdateManifest(ManifestBuilder().Build() + "x", manifest, error));
    EXPECT_TRUE(ParseUpdateManifest(ManifestBuilder().Build() + " \r\n\t", manifest, error))
        << error;
}

TEST(ManifestVersions, RefuseLeadingZerosAndWrongPartCounts) {
    for (const char* text :
         {"1.01.0", "1.1", "1", "1.2.3.4", "01.0.0", "1.0.00", "1..0", ".1.0", "1.0.", "1.0.0 ",
          " 1.0.0", "1.0.-1", "1.0.+1", "a.b.c", "1.0.1000000000", "1.0.0\xD9\xA1", ""}) {
        EXPECT_FALSE(Accepts(ManifestBuilder().SetText("latestVersion", text))) << text;
        EXPECT_FALSE(Accepts(ManifestBuilder().SetText("minimumSupportedVersion", text))) << text;
    }
}

TEST(ManifestVersions, AcceptZeroAndNineDigitPartsAndCompareNumerically) {
    Version version;
    ASSERT_TRUE(ParseVersionText("0.0.0", version));
    EXPECT_EQ(version, (Version{0, 0, 0}));
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
    for (const char* name : {"setup.EXE", "setup.exe", "Wrenpost_Setup-1.2.0.Exe", "a.exe"}) {
        EXPECT_TRUE(IsValidInstallerFileName(name)) << name;
        EXPECT_TRUE(
            Accepts(ManifestBuilder().SetInstaller("filename", "\"" + std::string(name) + "\"")))
            << name;
    }
    const std::string longest = std::string(124, 'x') + ".exe";
    EXPECT_TRUE(IsValidInstallerFileName(longest));
    EXPECT_FALSE(IsValidInstallerFileName("x" + longest));
    for (const char* name : {"../setup.exe", "setup .exe", "dir/setup.exe", "dir\\setup.exe",
                             "C:setup.exe", "set..up.exe", "setup.msi", "setup.exe.txt", "exe", "",
                             "setup\xC3\xA9.exe", "setup.ex", "setup%2e.exe"}) {
        EXPECT_FALSE(IsValidInstallerFileName(name)) << name;
    }
    EXPECT_FALSE(Accepts(ManifestBuilder().SetInstaller("filename", "\"../setup.exe\"")));
    EXPECT_FALSE(Accepts(ManifestBuilder().SetInstaller("filename", "\"my setup.exe\"")));
    // An escaped slash is still a slash.
    EXPECT_FALSE(Accepts(ManifestBuilder().SetInstaller("filename", "\"..\\/setup.exe\"")));
}

TEST(ManifestInstaller, Sha256MustBeLowerCaseHex) {
    EXPECT_TRUE(
        IsValidSha256Hex("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(
        Accepts(ManifestBuilder().SetInstaller("sha256", "\"" + std::string(64, 'A') + "\"")));
    EXPECT_FALSE(
        Accepts(ManifestBuilder().SetInstaller("sha256", "\"" + std::string(63, 'a') + "\"")));
    EXPECT_FALSE(
        Accepts(ManifestBuilder().SetInstaller("sha256", "\"" + std::string(65, 'a') + "\"")));
    EXPECT_FALSE(
        Accepts(ManifestBuilder().SetInstaller("sha256", "\"" + std::string(63, 'a') + "g\"")));
}

TEST(ManifestInstaller, SizeFromOneByteTo500MiB) {
    UpdateManifest manifest;
    ASSERT_TRUE(Accepts(ManifestBuilder().SetInstaller("sizeBytes", "1"), &manifest));
    EXPECT_EQ(manifest.installerSizeBytes, 1u);
    ASSERT_TRUE(Accepts(ManifestBuilder().SetInstaller("sizeBytes", "524288000"), &manifest));
    EXPECT_EQ(manifest.installerSizeBytes, 524288000u);
    ASSERT_TRUE(Accepts(ManifestBuilder().SetInstaller("sizeBytes", "5.24288e8"), &manifest));
    EXPECT_EQ(manifest.installerSizeBytes, 524288000u);
    for (const char* size : {"0", "524288001", "-1", "1e300", "1.5", "0.5"}) {
        EXPECT_FALSE(Accepts(ManifestBuilder().SetInstaller("sizeBytes", size))) << size;
    }
}

TEST(ManifestReleaseNotes, AtMostTwentyNotesOfAtMost200Bytes) {
    UpdateManifest manifest;
    ASSERT_TRUE(Accepts(ManifestBuilder().Set("releaseNotes", "[]"), &manifest));
    EXPECT_TRUE(manifest.releaseNotes.empty());
    ASSERT_TRUE(Accepts(
        ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(20, std::string(200, 'n'))),
        &manifest));
    EXPECT_EQ(manifest.releaseNotes.size(), 20u);
    EXPECT_FALSE(Accepts(ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(21, "n"))));
    EXPECT_FALSE(Accepts(
        ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(1, std::string(201, 'n')))));
}

TEST(ManifestReleaseNotes, CountBytesOfUtf8AfterUnescaping) {
    // 100 two-byte characters are 200 bytes; one more is 202.
    std::string cyrillic;
    for (int i = 0; i < 100; ++i) {
        cyrillic += "\xD0\x98";
    }
    EXPECT_TRUE(
        Accepts(ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(1, cyrillic))));
    EXPECT_FALSE(Accepts(
        ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(1, cyrillic + "\xD0\x98"))));
    // 200 escapes of six characters each unescape to 200 bytes.
    std::string escaped;
    for (int i = 0; i < 200; ++i) {
        escaped += "\\u0041";
    }
    EXPECT_TRUE(Accepts(ManifestBuilder().Set("releaseNotes", ManifestBuilder::Notes(1, escaped))));
}

}  // namespace
}  // namespace wrenpost
