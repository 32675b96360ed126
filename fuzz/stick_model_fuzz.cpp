// The simulated stick (the device model behind ormid-stick-sim and the in-process
// tests): any reports of any length, well-formed memory commands and link frames among
// them, at any times, with new connections in between. Its memories keep their sizes,
// every reply has the input report's length, every change of the persistent state is
// told, and the state always makes a state file that reads back to the same state.

#include <algorithm>
#include <optional>
#include <vector>

#include "fuzz_input.h"
#include "sim/state_file.h"
#include "sim/stick_model.h"
#include "stick_kind.h"

namespace ormid::fuzz {
namespace {

using sim::Millis;

// A report the program would send, built by the program's own frame builders, or raw bytes.
std::vector<Byte> nextReport(FuzzInput& script, const std::vector<Byte>& image, std::size_t outputLength)
{
    const auto memory = [](const MemoryCommand& c) { return std::vector<Byte>(c.begin(), c.end()); };
    const auto link = [&](const std::optional<LinkCommand>& command) {
        return command ? buildLinkFrame(command->bytes, outputLength).report : std::vector<Byte>{};
    };
    switch (script.pick(11)) {
    case 0:
        return memory(modeQueryCommand());
    case 1:
        return memory(readBlockCommand(script.u16()));
    case 2:
        return memory(writeBlockCommand(script.u16()));
    case 3:
        return memory(script.flag() ? eraseCommand() : goRemoteCommand());
    case 4:
        return link(readMemoryCommand(script.byte()));
    case 5:
        return link(writeMemoryCommand(script.byte(), image));
    case 6:
        return link(writeEeCommand(script.byte(), image));
    case 7:
        return link(firmwareSegmentCommand(static_cast<Byte>(script.pick(5)), image, script.pick(image.size())));
    case 8:
        return link(resetCommand());
    default:
        return script.chunk(outputLength + 2);
    }
}

} // namespace
} // namespace ormid::fuzz

// Input: the stick's set-up (mode, kind, device, faults), then a script of steps:
// a report to the stick, time passing, a reply taken, a new connection.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    using sim::Millis;
    fuzz::FuzzInput script(data, size);

    const Byte setup = script.byte();
    sim::StickConfig config = fuzz::stickKind(setup);
    config.deviceFirmware = script.byte();
    config.firmwareAfterUpdate = script.byte();
    config.identifyDelay = script.byte() * 10;
    config.identifyPeriod = static_cast<Millis>(script.byte()) * 20 - 100;
    sim::Faults faults;
    faults.refuseWriteMemory = (setup >> 3) & 0x03;
    faults.refuseWriteEe = (setup >> 5) & 0x03;
    const Byte fault = script.byte();
    if (fault & 0x01)
        faults.corruptReadAt = script.byte();
    faults.neverAckBlockWrite = (fault & 0x02) != 0;
    faults.ackOtherAddress = (fault & 0x04) != 0;
    faults.ackStatusZero = (fault & 0x08) != 0;
    if (fault & 0x10)
        faults.refusePage = script.pick(4);
    if (fault & 0x20)
        faults.dropAfterReports = script.byte();
    faults.replyDelay = (fault & 0x40) ? script.byte() * 10 : 0;
    sim::StickState state;
    state.remote = (setup & 0x80) != 0;
    state.memory.resize(script.flag() ? 100 : sim::kStickMemorySize, 0xFF); // the model makes it 64 KB

    sim::StickModel model(config, faults, state);
    int changes = 0;
    model.onStateChanged([&] { ++changes; });
    std::vector<Byte> image(kDeviceMemorySize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<Byte>(i * 3);

    Millis now = 0;
    model.connect(now);
    while (!script.empty()) {
        const sim::StickState before = model.state();
        const int changesBefore = changes;
        switch (script.pick(4)) {
        case 0:
            model.receive(fuzz::nextReport(script, image, model.outputReportLength()), now);
            break;
        case 1:
            now += script.u16() % 3000;
            model.advance(now);
            break;
        case 2:
            if (const std::optional<std::vector<Byte>> reply = model.takeInput(now))
                FUZZ_CHECK(reply->size() == model.inputReportLength());
            break;
        default:
            model.connect(now);
            break;
        }
        const sim::StickState& after = model.state();
        FUZZ_CHECK(after.memory.size() == sim::kStickMemorySize);
        FUZZ_CHECK(after.receivedFirmware.size() <= sim::kMaxReceivedFirmware);
        FUZZ_CHECK(after == before || changes > changesBefore);
    }
    if (changes > 0) {
        const std::optional<std::string> file = sim::encodeStickState(model.state());
        FUZZ_CHECK(file.has_value());
        const sim::StateFileResult read = sim::decodeStickState(*file);
        FUZZ_CHECK(read.ok() && read.state == model.state());
    }
    return 0;
}
