#pragma once
// The signatures that open the program's text files: line 1 of a configuration file
// starts "MMN", of an old-form configuration "MEM", of a firmware container "FWX".
// The one table every reader and writer of these files uses (src/files for
// configurations and file kinds, src/link for the firmware container).

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace ormid {

enum class SignedFileKind { configuration, oldConfiguration, firmwareContainer };

struct FileSignature {
    SignedFileKind kind;
    std::string_view text;
};

constexpr std::size_t kFileSignatureLength = 3;

// In the order the readers test them.
inline constexpr std::array<FileSignature, 3> kFileSignatures = {{
    {SignedFileKind::configuration, "MMN"},
    {SignedFileKind::oldConfiguration, "MEM"},
    {SignedFileKind::firmwareContainer, "FWX"},
}};

// The signature a file of `kind` starts with.
constexpr std::string_view fileSignature(SignedFileKind kind)
{
    for (const FileSignature& entry : kFileSignatures)
        if (entry.kind == kind)
            return entry.text;
    return {};
}

// The kind whose signature `bytes` start with; nullopt when none does.
std::optional<SignedFileKind> signedFileKind(std::string_view bytes);

} // namespace ormid
