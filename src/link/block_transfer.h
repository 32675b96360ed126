#pragma once
// Blocking block transfers of memory mode: writing one 128-byte block with its
// acknowledgement check, and reading one block through the collector. Both wait on
// a Waiter, so the window, the command-line tool and the tests share them.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

#include "link/hid_transport.h"
#include "link/stick_frames.h"
#include "link/waiter.h"

namespace ormid {

enum class BlockWriteResult {
    written,           // C0 33 for the block's address with status 1
    refused,           // C0 33 for the block's address with status 0
    wrongAddress,      // C0 33 naming another address
    noAcknowledgement, // no C0 33 within the check cycles
};

constexpr bool succeeded(BlockWriteResult result)
{
    return result == BlockWriteResult::written;
}
// A short English description, for a message or a log line.
std::string_view describe(BlockWriteResult result);

constexpr std::chrono::milliseconds kAcknowledgementPeriod{5};
constexpr int kAcknowledgementCycles = 201;

// Waits for the stick to acknowledge a written block: up to 201 cycles of (sleep 5 ms,
// read one report). The first C0 33 decides at once; other reports are skipped.
BlockWriteResult waitForWriteAcknowledgement(HidTransport& transport, Waiter& waiter, std::uint16_t address);

// The write block command, one read whose result is discarded, the 16 data reports
// of `block`, then waitForWriteAcknowledgement(address).
BlockWriteResult writeBlock(HidTransport& transport, Waiter& waiter, std::uint16_t address, const Block& block);

enum class BlockReadStatus {
    read,           // all 16 data reports arrived
    didNotArrive,   // the block was not complete within the wait
    usbStickSwitch, // the stick answered B2 50 / B2 51: it is in USB Stick mode
};

// A short English description, for a message or a log line.
std::string_view describe(BlockReadStatus status);

struct BlockRead {
    BlockReadStatus status = BlockReadStatus::didNotArrive;
    Block block{}; // complete when read; otherwise what arrived, zeros elsewhere
};

constexpr std::chrono::milliseconds kBlockReadPeriod{50};
constexpr int kBlockReadCycles = 101;

// Called before each wait cycle with its number (0..100); the window appends a
// "." to its caption at cycles 0, 10, 20, ...
using BlockReadCycle = std::function<void(int cycle)>;

// Asks the collector for the block at `address` and waits for it: cycles of (sleep
// 50 ms, one collector tick), at most 101 cycles.
BlockRead readBlock(HidTransport& transport, Waiter& waiter, std::uint16_t address, const BlockReadCycle& onCycle = {});

} // namespace ormid
