// The block-read collector of memory mode over scripted replies: reads of the
// control block and of data blocks started at any moment, ticks with whatever the
// stick sends. The collector fills only the block it reads, never past its end, and
// its count stays within the 16 reports of a block.

#include "fuzz_input.h"
#include "link/block_collector.h"
#include "scripted_stick.h"

// Input: a script of steps (start a control-block read, start a data-block read at
// the next two bytes' address, tick), each tick taking the stick's next reply from
// the same script.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput script(data, size);
    fuzz::ScriptedStick stick(script);
    Block controlBlock;
    Block sendBlock;
    controlBlock.fill(0xC1);
    sendBlock.fill(0x5E);
    BlockCollector collector(controlBlock, sendBlock);

    while (!script.empty()) {
        const Block controlBefore = controlBlock;
        const Block sendBefore = sendBlock;
        const bool wasRunning = collector.running();
        const bool readingControl = collector.controlFlag();
        switch (script.pick(4)) {
        case 0:
            collector.readControlBlock(stick);
            FUZZ_CHECK(collector.running() && collector.controlFlag() && !collector.dataFlag());
            FUZZ_CHECK(collector.count() == 0);
            continue;
        case 1:
            collector.readDataBlock(stick, script.u16());
            FUZZ_CHECK(collector.running() && collector.dataFlag() && !collector.controlFlag());
            FUZZ_CHECK(collector.count() == 0);
            continue;
        default:
            break;
        }
        const CollectorTick tick = collector.tick(stick);
        FUZZ_CHECK(collector.count() >= 0 && collector.count() <= BlockCollector::kMaxCount);
        FUZZ_CHECK(wasRunning || tick == CollectorTick::notRunning);
        // A read writes into its own block only.
        FUZZ_CHECK(readingControl ? sendBlock == sendBefore : controlBlock == controlBefore);
        if (tick == CollectorTick::blockComplete || tick == CollectorTick::usbStickSwitch)
            FUZZ_CHECK(!collector.running());
        if (tick == CollectorTick::blockComplete)
            FUZZ_CHECK(!collector.controlFlag() && !collector.dataFlag() && collector.count() == 0);
    }
    return 0;
}
