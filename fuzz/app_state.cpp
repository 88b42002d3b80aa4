// Fuzzes the application state reader with arbitrary file bytes; a record it reads and that the
// file can hold must read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/AppState.h"
#include "common/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace wrenpost;
    const AppState state =
        ParseAppState(DecodeTextFile(std::string_view(reinterpret_cast<const char*>(data), size)));
    const AppState again = ParseAppState(DecodeTextFile(EncodeTextFile(FormatAppState(state))));
    if (again != state) {
        std::abort();
    }
    return 0;
}
