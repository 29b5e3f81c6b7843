// Arbitrary bytes as a request to pelmora-echo: the reader must take or
// refuse them, never crash or read out of bounds; what it takes names only
// single hosts within the limits, and encodes back to the very bytes read.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/echo/echo_helper_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto request = read_request(bytes)) {
        if (request->attempts < 1 || request->attempts > kHelperMaxAttempts || request->ttl < 1 ||
            request->ttl > 255 || request->destinations.size() > kHelperMaxTargets)
            __builtin_trap();
        for (std::uint32_t destination : request->destinations)
            if (destination >> 24 == 0 || destination >> 24 >= 224)
                __builtin_trap();
        const auto again = encode_request(*request);
        if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end()))
            __builtin_trap();
    }
    // the program's side reads the helper's answers with the same care
    if (const auto response = read_response(bytes))
        if (response->targets.size() > kHelperMaxTargets)
            __builtin_trap();
    return 0;
}
