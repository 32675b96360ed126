#pragma once
// "Transfer" in memory mode without the window: writes the parameter image into
// one memory of the stick, data block first and control block last, so a failed
// step leaves the stick's control block as it was. Also the erase and go-remote
// commands.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include "core/byte_compare.h"
#include "core/image.h"
#include "link/block_transfer.h"
#include "link/control_block.h"
#include "link/hid_transport.h"
#include "link/waiter.h"

namespace ormid {

constexpr std::size_t kRemoteFramesSize = 66;     // bytes 0..65 of the remote-frame block
constexpr std::size_t kRemoteFrameCrcOffset = 66; // CRC-16 over bytes 0..65, low byte first

// The remote-frame block: the frames in bytes 0..65 (zero after them), their CRC-16
// in bytes 66..67, zeros in 68..127. nullopt when the frames do not fit 66 bytes.
std::optional<Block> buildRemoteFrameBlock(ByteSpan frames);

// The dimming-curve correction applied to the copy of the image that a local stick
// receives; empty = no correction selected.
using CurveCorrection = std::function<void(EeBlock&)>;

// A firmware image to be stored in the stick with this Transfer.
struct PendingFirmware {
    std::vector<Byte> image; // the firmware buffer
    std::uint16_t size = 0;  // `fwSize`
    Byte version = 0;        // `fwVersion`
};

struct MemoryTransferRequest {
    ControlBlock controlBlock{}; // as read from the stick
    int memory = 0;              // 1..4
    EeBlock image;               // at least image bytes 0..95
    std::string infoText;        // UTF-8; empty keeps the record's info bytes
    bool remoteMode = false;
    Byte txStatus = 0; // remote stick: the Tx selection bits of the record
    CurveCorrection curveCorrection;
    std::optional<PendingFirmware> firmware{}; // local stick only; a remote stick never stores one
    // Told of a failed firmware store at once, before the control block goes out.
    std::function<void(BlockWriteResult)> firmwareStoreFailed{};
};

enum class TransferStep { dataBlock, remoteFrameBlock, controlBlock };

// What storing a pending firmware image did. A failed store does not stop the
// Transfer: the control block is still written, with the firmware record unchanged.
enum class FirmwareStore { nothingPending, stored, failed };

struct MemoryTransferResult {
    enum class Status { transferred, invalidRequest, writeFailed };
    Status status = Status::invalidRequest;
    std::optional<TransferStep> failedStep;             // set when a block write failed
    BlockWriteResult write = BlockWriteResult::written; // why it failed
    FirmwareStore firmware = FirmwareStore::nothingPending;
    BlockWriteResult firmwareWrite = BlockWriteResult::written; // why the firmware store failed
    // What the Transfer writes (or was to write): the memory's data block and the control
    // block with its record; set for every valid request, whatever the stick answered.
    DataBlock dataBlock{};
    ControlBlock controlBlock{};

    bool ok() const { return status == Status::transferred; }
};

// What the stick holds after a Transfer that did not end well, told from a read-back.
enum class TransferReadBack {
    unreadable,  // the stick is gone, or did not deliver the blocks
    unchanged,   // the control block is as it was; the data block does not hold the new data
    dataOnly,    // the data block holds the new data under the control block as it was
    transferred, // both blocks hold what the Transfer wrote: only its acknowledgement was lost
    mixed,       // the control block is neither as it was nor as the Transfer wrote it
};

struct MemoryReadBack {
    TransferReadBack state = TransferReadBack::unreadable;
    bool stickGone = false;   // unreadable because the stick is no longer there
    bool dataNew = false;     // the data block holds the new data (when it could be read)
    bool dataDamaged = false; // the data block is no valid data block (when it could be read)
};

// Reads the control block and the memory's data block back after `transferMemory`
// returned `result` for `request`, and compares them with what was and what was written.
MemoryReadBack readBackTransfer(HidTransport& transport, Waiter& waiter, const MemoryTransferRequest& request,
                                const MemoryTransferResult& result);

// Verify after write: the memory's data block and its record in the control block,
// read back after a Transfer and compared byte by byte with what it wrote.
struct TransferVerification {
    bool readBack = false;                 // both blocks could be read
    std::vector<ByteMismatch> differences; // by stick address
    bool ok() const { return readBack && differences.empty(); }
};
TransferVerification verifyTransfer(HidTransport& transport, Waiter& waiter, int memory,
                                    const MemoryTransferResult& result);

// The error code a failed step shows: "CF" for the data and remote-frame blocks, "CB" for the control block.
std::string_view transferErrorCode(TransferStep step);
// The error code a failed firmware store shows.
constexpr std::string_view kFirmwareStoreErrorCode = "FW";
// The step in words, for a message.
std::string_view describe(TransferStep step);
// Stick address the step writes for memory n.
std::uint16_t stepAddress(TransferStep step, int memory);

// Writes the firmware image in blocks from stick address 0x0200, bytes at or beyond the
// size sent as FF; after the last block the firmware record of `controlBlock` names the
// image. Stops at the first failed block and leaves `controlBlock` unchanged.
FirmwareStore storeFirmware(HidTransport& transport, Waiter& waiter, const PendingFirmware& firmware,
                            ControlBlock& controlBlock, BlockWriteResult& failure);

// The "Transfer" sequence. The request's control block and image are not changed: a
// failure leaves the caller's copies as they were. invalidRequest (nothing sent) for a
// memory outside 1..4 or an image shorter than 96 bytes.
MemoryTransferResult transferMemory(HidTransport& transport, Waiter& waiter, const MemoryTransferRequest& request);

// Sends the erase command, or the go-remote command when `remote`, without waiting
// for an answer: the stick clears all four memories and becomes a local / remote stick.
void eraseStick(HidTransport& transport, bool remote);

} // namespace ormid
