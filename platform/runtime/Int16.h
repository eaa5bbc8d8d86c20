#pragma once

// 16-bit signed integers as the programs keep them: every result that leaves the 16-bit range
// raises an overflow error instead of wrapping, and conversions from floating point take the
// nearest integer with halves going to the even one.

#include "runtime/RuntimeError.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace platform {

inline int16_t toInt16(long long value)
{
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        raiseOverflow();
    return static_cast<int16_t>(value);
}

// Nearest integer, halves to even (the default rounding mode), as a 16-bit integer.
inline int16_t roundToInt16(double value)
{
    if (!std::isfinite(value))
        raiseOverflow();
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<int16_t>::min() ||
        rounded > std::numeric_limits<int16_t>::max())
        raiseOverflow();
    return static_cast<int16_t>(rounded);
}

// Nearest integer, halves to even, as a 32-bit integer.
inline int32_t roundToInt32(double value)
{
    if (!std::isfinite(value))
        raiseOverflow();
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<int32_t>::min() ||
        rounded > std::numeric_limits<int32_t>::max())
        raiseOverflow();
    return static_cast<int32_t>(rounded);
}

inline int16_t add16(int16_t a, int16_t b)
{
    return toInt16(static_cast<long long>(a) + b);
}
inline int16_t sub16(int16_t a, int16_t b)
{
    return toInt16(static_cast<long long>(a) - b);
}
inline int16_t mul16(int16_t a, int16_t b)
{
    return toInt16(static_cast<long long>(a) * b);
}

// Integer division truncating towards zero; a zero divisor raises division by zero.
inline int16_t div16(int16_t a, int16_t b)
{
    if (b == 0)
        raiseDivisionByZero();
    return toInt16(static_cast<long long>(a) / b);
}

} // namespace platform
