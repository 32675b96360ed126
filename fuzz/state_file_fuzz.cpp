// The simulator's state file: any bytes, and state files with any field changed, cut
// short or lengthened. A file that is taken is exactly the file its state makes, and
// every state the model keeps makes a file that reads back to it.

#include <algorithm>
#include <string>

#include "core/crc16.h"
#include "fuzz_input.h"
#include "sim/state_file.h"

namespace ormid::fuzz {
namespace {

// A state from the script: a few stick and device bytes set, some received firmware.
sim::StickState stateFrom(FuzzInput& script)
{
    sim::StickState state;
    state.remote = script.flag();
    state.deviceFirmware = script.byte();
    for (int i = 0, n = static_cast<int>(script.pick(8)); i < n; ++i)
        state.memory[script.u16()] = script.byte();
    for (int i = 0, n = static_cast<int>(script.pick(8)); i < n; ++i)
        state.deviceMemory[script.byte()] = script.byte();
    state.receivedFirmware = script.bytes(script.pick(3) == 0 ? script.u16() % 300 : 0);
    return state;
}

void checkTaken(const std::string& file)
{
    const sim::StateFileResult read = sim::decodeStickState(file);
    if (!read.ok())
        return;
    const std::optional<std::string> again = sim::encodeStickState(read.state);
    FUZZ_CHECK(again && *again == file);
}

} // namespace
} // namespace ormid::fuzz

// Input: a first byte choosing raw bytes (even) or a state file made from the script
// and then damaged: bytes changed at given places, cut short or lengthened, and the
// checksum made right again (so that what the checksum guards is tried too).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput script(data, size);
    if ((script.byte() & 1) == 0) {
        fuzz::checkTaken(script.restText());
        return 0;
    }
    const sim::StickState state = fuzz::stateFrom(script);
    const std::optional<std::string> made = sim::encodeStickState(state);
    FUZZ_CHECK(made.has_value());
    const sim::StateFileResult read = sim::decodeStickState(*made);
    FUZZ_CHECK(read.ok() && read.state == state);

    std::string file = *made;
    while (!script.empty()) {
        switch (script.pick(4)) {
        case 0: {
            const std::size_t at = (script.u16() | std::size_t{script.byte()} << 16) % file.size();
            file[at] = static_cast<char>(script.byte());
            break;
        }
        case 1:
            file.resize(file.size() - std::min<std::size_t>(file.size() - 1, script.u16()));
            break;
        case 2:
            file += script.text(script.pick(8));
            break;
        default:
            if (file.size() > 2) {
                const std::size_t end = file.size() - 2;
                const std::uint16_t crc = crc16({reinterpret_cast<const Byte*>(file.data()), end});
                file[end] = static_cast<char>(crc & 0xFF);
                file[end + 1] = static_cast<char>(crc >> 8);
            }
            break;
        }
    }
    fuzz::checkTaken(file);
    return 0;
}
