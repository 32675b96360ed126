// The data-block walk that copies a memory's records into the image when the memory
// is chosen: any block of any size and any stored length, into images of every size.
// The buffers are exactly as long as they claim, so a byte read or written past
// either end is caught; the walk copies all of its records or none.

#include <algorithm>

#include "core/data_block.h"
#include "core/memories.h"
#include "fuzz_input.h"

// Input: the stored length `storedLength` (2 bytes, little-endian), the image size (a byte,
// plus one when bit 0 of the next byte is set: 0..256), then the data block.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    const std::uint16_t storedLength = input.u16();
    const std::size_t imageSize = input.byte() + (input.flag() ? 1 : 0); // 0..256
    const std::vector<Byte> block = input.rest();

    std::vector<Byte> image(imageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<Byte>(0xC3 ^ i);
    const std::vector<Byte> before = image;
    const DataBlockWalk walk = copyDataBlockToImage(block, storedLength, image);
    FUZZ_CHECK(image.size() == before.size());
    if (isDamaged(walk)) {
        FUZZ_CHECK(image == before); // all or nothing
        FUZZ_CHECK(!describe(walk).empty());
    } else {
        // Only image bytes 0..127 are ever written.
        FUZZ_CHECK(image.size() <= kImageSize
                   || std::equal(image.begin() + kImageSize, image.end(), before.begin() + kImageSize));
        // The records are copied from the block, so walking them again changes nothing.
        const std::vector<Byte> once = image;
        FUZZ_CHECK(copyDataBlockToImage(block, storedLength, image) == DataBlockWalk::copied && image == once);
    }

    // Choosing a used memory with this block: the walk, or the default image when the
    // block breaks the layout.
    TMemory memory;
    memory.length = storedLength;
    std::copy_n(block.begin(), std::min(block.size(), memory.data.size()), memory.data.begin());
    EeBlock chosen = makeDefaultImage();
    const DataBlockWalk chosenWalk = imageFromMemory(memory, chosen);
    if (isDamaged(chosenWalk))
        FUZZ_CHECK(chosen == makeDefaultImage());

    // A block built from an image walks back to the same bytes 0..95.
    if (block.size() >= kStoredImageBytes) {
        const std::optional<DataBlock> built = buildDataBlock(ByteSpan(block).first(kStoredImageBytes));
        FUZZ_CHECK(built.has_value());
        std::vector<Byte> target(kImageSize, 0);
        FUZZ_CHECK(copyDataBlockToImage(*built, kStoredLength, target) == DataBlockWalk::copied);
        FUZZ_CHECK(std::equal(target.begin(), target.begin() + kStoredImageBytes, block.begin()));
    } else {
        FUZZ_CHECK(!buildDataBlock(block).has_value());
    }
    return 0;
}
