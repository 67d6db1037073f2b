// Picture bytes fed to the incremental decoder in chunks whose sizes come from the input itself.
// Invariants: no crash or sanitizer report; a partial picture has its full size; once all bytes
// are in, a picture that decodes whole has the same size.

#include "platform/core/testing/FuzzCheck.h"
#include "platform/gfx/IncrementalDecoder.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t step = 1 + data[0] % 64;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    gfx::IncrementalDecoder decoder;
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        decoder.append(bytes.substr(at, step));
        if (auto partial = decoder.image())
            FUZZ_CHECK(partial->pixelWidth() == decoder.pixelWidth() && partial->pixelHeight() == decoder.pixelHeight());
    }
    auto whole = gfx::Image::decode(bytes);
    auto last = decoder.image();
    if (whole && last && whole.value()->images().empty())
        FUZZ_CHECK(last->pixelWidth() * last->pixelHeight() == whole.value()->pixelWidth() * whole.value()->pixelHeight());
    return 0;
}
