#include "core/file_signatures.h"

namespace ormid {

std::optional<SignedFileKind> signedFileKind(std::string_view bytes)
{
    for (const FileSignature& entry : kFileSignatures)
        if (bytes.starts_with(entry.text))
            return entry.kind;
    return std::nullopt;
}

} // namespace ormid
