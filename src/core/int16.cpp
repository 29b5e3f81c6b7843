#include "core/int16.h"

#include <string>

Int16Overflow::Int16Overflow(long long v)
    : std::overflow_error("16-bit overflow: " + std::to_string(v)), value(v) {}

int16 to_int16(long long value) {
    if (value < -32768 || value > 32767)
        throw Int16Overflow(value);
    return static_cast<int16>(value);
}
