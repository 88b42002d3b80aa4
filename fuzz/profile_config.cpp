// Fuzzes the profile file reader with arbitrary file bytes. Besides not crashing, whatever it
// reads must survive a write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/TextFile.h"
#include "profile/ProfileConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace wrenpost;
    const std::wstring text =
        DecodeTextFile(std::string_view(reinterpret_cast<const char*>(data), size));
    const ProfileConfig config = ParseProfileConfig(text);
    const std::string bytes = EncodeTextFile(FormatProfileConfig(config));
    if (ParseProfileConfig(DecodeTextFile(bytes)) != config) {
        std::abort();
    }
    return 0;
}
