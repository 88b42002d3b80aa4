// Fuzzes the readers of Bot API answers: the ok/result splitter, the field scanners, JSON string
// decoding, and a whole verification poll and bot check fed with the input as the server's
// answer. Checks the invariants the callers rely on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Text.h"
#include "telegram/BotApiText.h"
#include "telegram/BotCheck.h"
#include "telegram/Verification.h"

using namespace wrenpost;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring body = Utf8ToWide(bytes);

    const OkResult parsed = ParseOkResult(body);
    if (parsed.ok != ContainsOkTrue(body) || (!parsed.ok && parsed.error.empty())) {
        std::abort();
    }
    for (const std::wstring& item : parsed.items) {
        if (item.size() < 2 || item.front() != L'{' || item.back() != L'}' ||
            body.find(item) == std::wstring::npos) {
            std::abort();
        }
        if (const auto text = ExtractStringField(item, L"text");
            text && text->find(L'"') != std::wstring::npos) {
            std::abort();
        }
        (void)ExtractIntField(item, L"update_id");
        if (const auto chat = ExtractFlatObject(item, L"chat");
            chat && chat->find(L'}') != std::wstring::npos) {
            std::abort();
        }
        (void)DecodeJsonString(item);
    }
    if (const auto description = FindDescription(body);
        description && (description->empty() || description->find(L'"') != std::wstring::npos)) {
        std::abort();
    }

    // The same bytes as every answer of the service.
    const HttpTransport transport = [&bytes](const HttpRequest&) {
        HttpResponse response;
        response.status = 200;
        response.body = bytes;
        return response;
    };
    std::int64_t offset = 0;
    const PollResult poll =
        PollVerification(transport, L"1:A", L"WP-123456", 0, 4102444800, offset);
    if (poll.ok && poll.candidates.size() > parsed.items.size()) {
        std::abort();
    }
    (void)FetchStartOffset(transport, L"1:A", 100);
    (void)GetBotInfo(transport, L"1:A");
    return 0;
}
