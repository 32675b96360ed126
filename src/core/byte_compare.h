#pragma once
// Byte-by-byte comparison of what was written with what reads back (verify after
// write) or of two configurations.

#include <cstddef>
#include <vector>

#include "core/image.h"

namespace ormid {

// A byte that differs: where it lies, and its value on each side.
struct ByteMismatch {
    std::size_t at; // the offset in the compared bytes plus the first address given
    Byte expected;
    Byte found;

    bool operator==(const ByteMismatch&) const = default;
};

// The bytes in which `found` differs from `expected`, `at` counted from `firstAddress`;
// a side shorter than the other differs in every byte it lacks (read as 0xFF).
std::vector<ByteMismatch> byteMismatches(ByteSpan expected, ByteSpan found, std::size_t firstAddress = 0);

} // namespace ormid
