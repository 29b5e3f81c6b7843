#pragma once
// Every counter and setting of the monitor is a 16-bit signed integer. A result
// that leaves -32768..32767 is a fault of the program, never silently wrapped.
#include <cstdint>
#include <stdexcept>

using int16 = std::int16_t;

struct Int16Overflow : std::overflow_error {
    explicit Int16Overflow(long long value);
    long long value;
};

// The value as a 16-bit integer; throws Int16Overflow when it does not fit.
int16 to_int16(long long value);

inline int16 add16(int16 a, long long b) {
    return to_int16(static_cast<long long>(a) + b);
}
