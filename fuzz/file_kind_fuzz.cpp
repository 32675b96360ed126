// Telling the file kinds apart (ormid-cli check and inspect): any bytes under any name.

#include <string>

#include "files/config_file.h"
#include "files/dimming_curve_file.h"
#include "files/file_kind.h"
#include "fuzz_input.h"
#include "link/firmware_container.h"

// Input: a name length byte (0..15), the name, then the file's bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    const std::string name = input.text(input.pick(16));
    const std::string bytes = input.restText();

    const FileKind kind = classifyFile(bytes, name);
    FUZZ_CHECK(!fileKindName(kind).empty());
    // The kind a file is shown as is the kind Load takes it for.
    const ConfigLoadResult load = loadConfiguration(bytes, makeDefaultImage(), {});
    if (load.outcome == ConfigLoadOutcome::Firmware)
        FUZZ_CHECK(kind == FileKind::FirmwareContainer);
    if (load.kind == ConfigFileKind::Configuration)
        FUZZ_CHECK(kind == FileKind::Configuration);
    if (parseFirmwareContainer(bytes).status == FirmwareContainerStatus::Valid)
        FUZZ_CHECK(kind == FileKind::FirmwareContainer);
    if (readDimmingCurve(bytes, {}).valid())
        FUZZ_CHECK(kind == FileKind::DimmingCurve);
    return 0;
}
