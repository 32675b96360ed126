#pragma once
// ormid-cli: the program's file engine without a window, for scripts and production lines.

#include <atomic>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/image.h"
#include "files/atomic_file.h"

namespace ormid {

namespace cliExit {
constexpr int success = 0;
constexpr int invalidInput = 1;
constexpr int usage = 2;
constexpr int noStick = 3;
// The stick did not do what was asked: no control block, not in memory mode, a
// block read or write that failed.
constexpr int transferFailed = 4;
} // namespace cliExit

class HidTransport;
class Waiter;

// Runs one command; `args` are the command-line arguments after the program name.
// Results go to `out`, the program's messages and usage errors to `err`.
int runCli(std::vector<std::string> args, std::ostream& out, std::ostream& err);

// `stick status` on `transport`: finds the stick as the programmer's start-up does,
// ticking after each sleep on `waiter`, and prints its mode and, in memory mode, the
// four memories and the firmware record.
int runStickStatus(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err);

// `stick read Mn -o FILE`: memory n's data block walked into the default image as
// choosing the memory does, saved as a configuration file named after the memory.
int runStickRead(HidTransport& transport, Waiter& waiter, int memory, const std::string& path, std::ostream& out,
                 std::ostream& err, FileWriteOptions save = {});

// `stick write Mn FILE [--name TEXT] [--tx LIST]`: the file loaded as "Load" does, then
// stored in memory n as "Transfer" does (no firmware, no restart). Without `name` the
// file's info text names the memory. On a remote stick `tx` chooses the remote frames
// (the Tx boxes as a status byte); without it the memory keeps its choice, an empty
// memory gets all. With `verify` the data block and the record are read back and
// compared; a difference is reported byte by byte and fails the command.
// How a file's image goes to a stick: as the window's Load and redraw leave it (a
// user's file), or byte for byte as saved (a backup being restored: the stick gets back
// exactly what it held).
enum class FileImage { asLoad, asSaved };

int runStickWrite(HidTransport& transport, Waiter& waiter, int memory, const std::string& path, const std::string* name,
                  std::ostream& out, std::ostream& err, std::optional<Byte> tx = std::nullopt, bool verify = true,
                  FileImage fileImage = FileImage::asLoad);

// `stick backup DIR [--force]`: every used memory of a stick in memory mode as a
// configuration file named after its slot and name, then the manifest (stick kind,
// names, status bytes, Tx boxes, firmware record). DIR must be new or empty unless `force`.
int runStickBackup(HidTransport& transport, Waiter& waiter, const std::string& folder, std::ostream& out,
                   std::ostream& err, bool force = false);

// `stick restore DIR [--slots M1,M3]`: the backup's memories (all used ones, or the
// slots named) written back as `stick write` does, with verification. The manifest and
// every file needed are checked first; a damaged or incomplete folder, or a stick of
// the other kind, leaves the stick untouched.
int runStickRestore(HidTransport& transport, Waiter& waiter, const std::string& folder, const std::string* slots,
                    std::ostream& out, std::ostream& err);

// `stick erase [--remote]`: erases all four memories; `remote` makes the stick a remote stick.
int runStickErase(HidTransport& transport, Waiter& waiter, bool remote, std::ostream& out, std::ostream& err);

// `device status`: with the stick in USB Stick mode, waits for the connected device's
// identification and prints its number and firmware version ("FW 1.n" or "FW ???").
int runDeviceStatus(HidTransport& transport, Waiter& waiter, std::ostream& out, std::ostream& err);

// `device read -o FILE [--raw FILE]`: reads the device's 256-byte memory; the
// configuration file holds bytes 0..95, the raw file all 256.
int runDeviceRead(HidTransport& transport, Waiter& waiter, const std::string& path, const std::string* rawPath,
                  std::ostream& out, std::ostream& err, FileWriteOptions save = {});

// `device write FILE`: loads the file as "Load" does, reads the device, then writes
// the file's bytes 0..95 with the device's own bytes 96..249 back, with repeats. With
// `verify` the read that the device's next identification starts is compared with
// bytes 0..249 as sent; a difference is reported byte by byte and fails the command.
int runDeviceWrite(HidTransport& transport, Waiter& waiter, const std::string& path, std::ostream& out,
                   std::ostream& err, bool verify = true);

// `device write FILE --batch`: programs one device after another. Waits for a device to
// announce itself, updates its firmware to the built-in version when `updateFirmware`
// and it runs another, writes and verifies the file, prints a line (number, device,
// firmware, result) and logs a CSV row, then waits for a device with another number;
// a device that fails is reported and the batch goes on. Ends after `count` devices,
// when the stick is gone, or once `interrupted` is set: at once while it waits, after
// the device it is programming otherwise. Exit code 4 when a device failed or the stick
// is gone.
struct DeviceBatch {
    std::string path;
    const std::string* logPath = nullptr;
    FileWriteOptions logOptions{}; // --force: append to a write-protected log all the same
    bool updateFirmware = false;
    std::optional<int> count;
    const std::atomic<bool>* interrupted = nullptr;
};
int runDeviceBatch(HidTransport& transport, Waiter& waiter, const DeviceBatch& batch, std::ostream& out,
                   std::ostream& err);

// `device update-fw [FILE]`: the firmware from `path` (a `.kdp` file as "Load" takes it)
// or, without it, the built-in image; reads the device, then sends the image page by
// page with a "page n/m" line on `out` for each and resets the device at the end.
int runDeviceUpdateFw(HidTransport& transport, Waiter& waiter, const std::string* path, std::ostream& out,
                      std::ostream& err);

} // namespace ormid
