#include "core/byte_compare.h"

#include <algorithm>

namespace ormid {

std::vector<ByteMismatch> byteMismatches(ByteSpan expected, ByteSpan found, std::size_t firstAddress)
{
    constexpr Byte kMissing = 0xFF;
    std::vector<ByteMismatch> mismatches;
    const std::size_t length = std::max(expected.size(), found.size());
    for (std::size_t i = 0; i < length; ++i) {
        const bool bothHaveIt = i < expected.size() && i < found.size();
        const Byte wanted = i < expected.size() ? expected[i] : kMissing;
        const Byte got = i < found.size() ? found[i] : kMissing;
        if (!bothHaveIt || wanted != got)
            mismatches.push_back({firstAddress + i, wanted, got});
    }
    return mismatches;
}

} // namespace ormid
