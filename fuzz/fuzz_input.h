#pragma once
// What the fuzz targets share: the fuzzer's bytes read as a script of small decisions,
// and a property check that stops at once, so that libFuzzer keeps the input that
// broke it (and the replay test fails on it).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"

// The entry point every target defines; libFuzzer calls it, and so does the replay
// program of the regular test run.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace ormid::fuzz {

[[noreturn]] inline void propertyBroken(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

// Reads the input front to back. Once it runs out every read gives zeros, so any
// input, however short, is a whole script.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t remaining() const { return size_ - at_; }

    Byte byte() { return empty() ? Byte{0} : data_[at_++]; }
    std::uint16_t u16()
    {
        const Byte low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }
    bool flag() { return (byte() & 1) != 0; }
    // A value in 0 .. count - 1; count must not be 0.
    std::size_t pick(std::size_t count) { return byte() % count; }
    template <typename T, std::size_t N>
    const T& pick(const T (&choices)[N])
    {
        return choices[pick(N)];
    }

    // The next `count` bytes, fewer at the end of the input; the vector holds exactly
    // what it carries, so a read past its end is caught by AddressSanitizer.
    std::vector<Byte> bytes(std::size_t count)
    {
        const std::size_t n = std::min(count, remaining());
        std::vector<Byte> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }
    // A length byte (taken modulo maxCount + 1), then that many bytes.
    std::vector<Byte> chunk(std::size_t maxCount) { return bytes(byte() % (maxCount + 1)); }
    std::string text(std::size_t count)
    {
        const std::vector<Byte> b = bytes(count);
        return {b.begin(), b.end()};
    }
    // Everything not read yet.
    std::vector<Byte> rest() { return bytes(remaining()); }
    std::string restText() { return text(remaining()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

} // namespace ormid::fuzz

#define FUZZ_CHECK(condition)                                                                                          \
    ((condition) ? static_cast<void>(0) : ::ormid::fuzz::propertyBroken(#condition, __FILE__, __LINE__))
