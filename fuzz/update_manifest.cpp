// Fuzz target for the update manifest: the strict JSON reader and the manifest rules must never
// crash, and an accepted document never nests deeper than the depth limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "update/StrictJson.h"
#include "update/UpdateChecker.h"
#include "update/UpdateManifest.h"

namespace {

// Deepest value of an accepted tree, walked without recursion.
int TreeDepth(const wrenpost::JsonValue& root) {
    int deepest = 0;
    std::vector<std::pair<const wrenpost::JsonValue*, int>> pending{{&root, 0}};
    while (!pending.empty()) {
        auto [value, depth] = pending.back();
        pending.pop_back();
        deepest = depth > deepest ? depth : deepest;
        for (const wrenpost::JsonValue& item : value->items) {
            pending.emplace_back(&item, depth + 1);
        }
    }
    return deepest;
}

// Deepest bracket nesting of well-formed text, counted outside strings.
int BracketNesting(std::string_view text) {
    int nesting = 0;
    int deepest = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = ++nesting > deepest ? nesting : deepest;
        } else if (c == ']' || c == '}') {
            --nesting;
        }
    }
    return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    wrenpost::JsonValue value;
    std::string error;
    if (wrenpost::ParseStrictJson(text, value, error)) {
        if (TreeDepth(value) >= wrenpost::kJsonDepthLimit ||
            BracketNesting(text) > wrenpost::kJsonDepthLimit) {
            std::abort();
        }
    } else if (error.empty()) {
        std::abort();
    }

    wrenpost::UpdateManifest manifest;
    if (wrenpost::ParseUpdateManifest(text, manifest, error)) {
        if (!wrenpost::IsValidInstallerFileName(manifest.installerFileName) ||
            !wrenpost::IsValidSha256Hex(manifest.installerSha256) ||
            manifest.releaseNotes.size() > wrenpost::kMaxReleaseNotes ||
            manifest.installerSizeBytes == 0 ||
            manifest.installerSizeBytes > wrenpost::kMaxInstallerSizeBytes) {
            std::abort();
        }
    }

    wrenpost::UpdateChecker::HttpFetchResult response;
    response.ok = true;
    response.statusCode = 200;
    response.contentType = "application/json";
    response.body = std::string(text);
    const auto result = wrenpost::UpdateChecker::CheckForUpdates([&] { return response; },
                                                                 wrenpost::Version{1, 0, 0});
    if (result.outcome == wrenpost::UpdateOutcome::UpdateAvailable &&
        !(result.latestVersion > result.currentVersion)) {
        std::abort();
    }
    return 0;
}
