#pragma once
// The block-read collector of memory mode: sends a read block
// command and gathers the 16 data reports of the answer into the window's
// `controlBlock` or `sendBlock`. It never blocks: `tick()` is one 50 ms collector
// tick, driven by the caller's timer (the window's QTimer, a test's loop), and reads
// from the transport the caller hands in.

#include <cstdint>

#include "core/image.h"
#include "link/control_block.h"
#include "link/hid_transport.h"
#include "link/stick_frames.h"

namespace ormid {

// What one tick did.
enum class CollectorTick {
    notRunning,     // the collector is stopped; nothing was read
    nothingPending, // no input report was waiting
    header,         // C0 44 .. n: the count was set to n / 8 (at most 16)
    data,           // a data report was stored; more are expected
    blockComplete,  // the last data report was stored; the collector stopped, both flags clear
    ignored,        // a report while the count is 0 (before a header, or n < 8)
    usbStickSwitch, // B2 50 / B2 51: the stick is in USB Stick mode; the collector stopped
};

class BlockCollector {
public:
    // The window owns both blocks; the collector writes into them while a read runs.
    BlockCollector(Block& controlBlock, Block& sendBlock) : controlBlock_(controlBlock), sendBlock_(sendBlock) {}

    // Asks for the control block (0xFF80); controlFlag set, dataFlag clear, count 0, running.
    void readControlBlock(HidTransport& transport);
    // Asks for the block at `address`; dataFlag set, controlFlag clear, count 0, running.
    void readDataBlock(HidTransport& transport, std::uint16_t address);
    // One collector tick: reads at most one input report and handles it.
    CollectorTick tick(HidTransport& transport);
    // Stops the collector (as a stopped timer would); flags and count stay as they are.
    void stop() { running_ = false; }

    bool controlFlag() const { return controlFlag_; }
    bool dataFlag() const { return dataFlag_; }
    bool running() const { return running_; }
    // Data reports still expected by the running block read (0..16).
    int count() const { return count_; }

    // The largest count a header may set: a block has 16 data reports. A header
    // announcing more (n up to 0xFF gives 31) is clamped, so the data always
    // lands inside the 128-byte target: offset (16 - count) x 8 >= 0.
    static constexpr int kMaxCount = static_cast<int>(kReportsPerBlock);

private:
    void start(HidTransport& transport, std::uint16_t address, bool control);

    Block& controlBlock_;
    Block& sendBlock_;
    bool controlFlag_ = false;
    bool dataFlag_ = false;
    bool running_ = false;
    int count_ = 0;
};

} // namespace ormid
