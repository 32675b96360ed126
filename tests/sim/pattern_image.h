#pragma once
// A configuration whose every byte differs from its neighbours, so that a byte read,
// stored or sent at the wrong place shows.

#include <cstddef>

#include "core/image.h"

namespace ormid::test {

inline EeBlock patternImage(Byte salt)
{
    EeBlock image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<Byte>(i * 3 + salt);
    return image;
}

} // namespace ormid::test
