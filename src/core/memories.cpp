#include "core/memories.h"

#include <algorithm>

#include "core/text_codec.h"

namespace ormid {

InfoBytes infoFromName(std::string_view utf8Name)
{
    InfoBytes info;
    info.fill(kInfoPad);
    const std::string bytes = utf8ToCp1252(utf8Name); // one byte per character
    const std::size_t count = std::min(bytes.size(), info.size());
    for (std::size_t i = 0; i < count; ++i)
        info[i] = static_cast<Byte>(bytes[i]);
    return info;
}

std::string nameFromInfo(const InfoBytes& info)
{
    const auto end = std::find(info.begin(), info.end(), kInfoEnd);
    return cp1252ToUtf8(std::string(info.begin(), end));
}

std::string withoutPadding(std::string_view name)
{
    const auto last = name.find_last_not_of(static_cast<char>(kInfoPad));
    return std::string(last == std::string_view::npos ? std::string_view() : name.substr(0, last + 1));
}

TMemory memoryFromRecord(const MemoryRecord& record, bool remoteMode)
{
    TMemory memory;
    memory.empty = !record.isValid(remoteMode);
    if (!memory.empty) {
        memory.cbStatus = record.status;
        memory.length = record.length;
        memory.address = record.dataAddress();
        memory.name = record.name();
    }
    return memory;
}

std::string displayName(const TMemory& memory)
{
    return memory.empty ? std::string() : withoutPadding(memory.name);
}

DataBlockWalk imageFromMemory(const TMemory& memory, EeBlock& image)
{
    if (memory.empty) {
        image = makeDefaultImage();
        return DataBlockWalk::copied;
    }
    const DataBlockWalk walk = copyDataBlockToImage(memory.data, memory.length, image);
    // A block that breaks the record layout would scatter bytes over the image.
    if (isDamaged(walk))
        image = makeDefaultImage();
    return walk;
}

} // namespace ormid
