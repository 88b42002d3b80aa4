// Manifest members and their rules; see UpdateManifest.h.
#include "update/UpdateManifest.h"

#include <cmath>
#include <utility>

#include "common/Text.h"
#include "update/StrictJson.h"

namespace wrenpost {
namespace {

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool ParseVersionPart(std::string_view part, std::uint32_t& out) {
    if (part.empty() || part.size() > 9) {
        return false;
    }
    if (part.size() > 1 && part[0] == '0') {
        return false;
    }
    std::uint32_t value = 0;
    for (const char c : part) {
        if (!IsAsciiDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    out = value;
    return true;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

const JsonValue* Member(const JsonValue& object, std::string_view name, JsonKind kind,
                        std::string& error) {
    const JsonValue* value = object.Find(name);
    if (value == nullptr) {
        error = "missing member \"" + std::string(name) + "\"";
        return nullptr;
    }
    if (value->kind != kind) {
        error = "member \"" + std::string(name) + "\" has the wrong type";
        return nullptr;
    }
    return value;
}

bool ReadVersionMember(const JsonValue& root, std::string_view name, Version& version,
                       std::string& text, std::string& error) {
    const JsonValue* value = Member(root, name, JsonKind::String, error);
    if (value == nullptr) {
        return false;
    }
    if (!ParseVersionText(value->text, version)) {
        error = "member \"" + std::string(name) + "\" is not a version";
        return false;
    }
    text = value->text;
    return true;
}

bool RequireText(const JsonValue& root, std::string_view name, std::string_view expected,
                 std::string& error) {
    const JsonValue* value = Member(root, name, JsonKind::String, error);
    if (value == nullptr) {
        return false;
    }
    if (value->text != expected) {
        error = "member \"" + std::string(name) + "\" is not \"" + std::string(expected) + "\"";
        return false;
    }
    return true;
}

bool ReadInstaller(const JsonValue& root, UpdateManifest& out, std::string& error) {
    const JsonValue* installer = Member(root, "installer", JsonKind::Object, error);
    if (installer == nullptr) {
        return false;
    }
    const JsonValue* name = Member(*installer, "filename", JsonKind::String, error);
    if (name == nullptr) {
        return false;
    }
    if (!IsValidInstallerFileName(name->text)) {
        error = "installer file name is not allowed";
        return false;
    }
    const JsonValue* size = Member(*installer, "sizeBytes", JsonKind::Number, error);
    if (size == nullptr) {
        return false;
    }
    // A fractional size would be truncated into a different number, so only whole sizes count.
    if (!(size->number >= 1.0 && size->number <= static_cast<double>(kMaxInstallerSizeBytes)) ||
        std::floor(size->number) != size->number) {
        error = "installer size is out of range";
        return false;
    }
    const JsonValue* sha = Member(*installer, "sha256", JsonKind::String, error);
    if (sha == nullptr) {
        return false;
    }
    if (!IsValidSha256Hex(sha->text)) {
        error = "installer SHA-256 is not 64 lower-case hexadecimal digits";
        return false;
    }
    out.installerFileName = name->text;
    out.installerSizeBytes = static_cast<std::uint64_t>(size->number);
    out.installerSha256 = sha->text;
    return true;
}

bool ReadReleaseNotes(const JsonValue& root, UpdateManifest& out, std::string& error) {
    const JsonValue* notes = Member(root, "releaseNotes", JsonKind::Array, error);
    if (notes == nullptr) {
        return false;
    }
    if (notes->items.size() > kMaxReleaseNotes) {
        error = "too many release notes";
        return false;
    }
    out.releaseNotes.clear();
    for (const JsonValue& note : notes->items) {
        if (note.kind != JsonKind::String) {
            error = "a release note is not a string";
            return false;
        }
        if (note.text.size() > kMaxReleaseNoteBytes) {
            error = "a release note is too long";
            return false;
        }
        out.releaseNotes.push_back(note.text);
    }
    return true;
}

}  // namespace

bool ParseVersionText(std::string_view text, Version& out) {
    std::uint32_t parts[3] = {};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t dot = text.find('.', start);
        const bool last = i == 2;
        if (last != (dot == std::string_view::npos)) {
            return false;
        }
        const std::size_t end = last ? text.size() : dot;
        if (!ParseVersionPart(text.substr(start, end - start), parts[i])) {
            return false;
        }
        start = end + 1;
    }
    out = Version{parts[0], parts[1], parts[2]};
    return true;
}

std::wstring VersionText(const Version& version) {
    return ToWideDecimal(version.major) + L"." + ToWideDecimal(version.minor) + L"." +
           ToWideDecimal(version.patch);
}

bool IsValidInstallerFileName(std::string_view name) {
    if (name.empty() || name.size() > 128 || name.find("..") != std::string_view::npos) {
        return false;
    }
    for (const char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsAsciiDigit(c) ||
                             c == '-' || c == '.' || c == '_';
        if (!allowed) {
            return false;
        }
    }
    if (name.size() < 4) {
        return false;
    }
    std::string suffix;
    for (const char c : name.substr(name.size() - 4)) {
        suffix.push_back(AsciiLower(c));
    }
    return suffix == ".exe";
}

bool IsValidSha256Hex(std::string_view text) {
    if (text.size() != 64) {
        return false;
    }
    for (const char c : text) {
        if (!IsAsciiDigit(c) && !(c >= 'a' && c <= 'f')) {
            return false;
        }
    }
    return true;
}

bool ParseUpdateManifest(std::string_view body, UpdateManifest& out, std::string& error) {
    JsonValue root;
    if (!ParseStrictJson(body, root, error)) {
        error = "manifest is not valid JSON: " + error;
        return false;
    }
    if (root.kind != JsonKind::Object) {
        error = "manifest is not a JSON object";
        return false;
    }
    const JsonValue* schema = Member(root, "schemaVersion", JsonKind::Number, error);
    if (schema == nullptr) {
        return false;
    }
    if (schema->number != 1.0) {
        error = "unsupported schemaVersion";
        return false;
    }
    if (!RequireText(root, "platform", "windows", error) ||
        !RequireText(root, "architecture", "x64", error)) {
        return false;
    }
    UpdateManifest manifest;
    if (!ReadVersionMember(root, "latestVersion", manifest.latestVersion,
                           manifest.latestVersionText, error) ||
        !ReadVersionMember(root, "minimumSupportedVersion", manifest.minimumSupportedVersion,
                           manifest.minimumSupportedVersionText, error)) {
        return false;
    }
    if (!RequireText(root, "downloadPagePath", "/download", error)) {
        return false;
    }
    manifest.downloadPagePath = "/download";
    if (!ReadInstaller(root, manifest, error) || !ReadReleaseNotes(root, manifest, error)) {
        return false;
    }
    out = std::move(manifest);
    return true;
}

}  // namespace wrenpost
