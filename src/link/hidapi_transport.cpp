#include "link/hidapi_transport.h"

#include <algorithm>
#include <vector>

#include <hidapi.h>

#include "link/report_descriptor.h"

namespace ormid {

namespace {

// hid_init once per process; hid_exit is left to process end, as other transports may
// still be open.
bool initHidapi()
{
    static const bool ok = hid_init() == 0;
    return ok;
}

// Paths of the devices with these ids, in hidapi's order.
std::vector<std::string> enumeratePaths(std::uint16_t vendorId, std::uint16_t productId)
{
    std::vector<std::string> paths;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (const hid_device_info* info = list; info != nullptr; info = info->next) {
        if (info->path != nullptr && info->vendor_id == vendorId && info->product_id == productId) {
            paths.emplace_back(info->path);
        }
    }
    hid_free_enumeration(list);
    return paths;
}

// The smallest read buffer: a stick report is at most 64 bytes whatever the descriptor
// claims, and one byte more holds a report id.
constexpr std::size_t kMinReadBuffer = 64;

} // namespace

HidapiTransport::HidapiTransport() = default;

HidapiTransport::~HidapiTransport()
{
    close();
}

void HidapiTransport::close()
{
    if (device_ != nullptr) {
        hid_close(device_);
        device_ = nullptr;
    }
    devicePath_.clear();
}

bool HidapiTransport::findHidDevice(std::uint16_t vendorId, std::uint16_t productId)
{
    if (!initHidapi()) {
        return false;
    }
    const std::vector<std::string> paths = enumeratePaths(vendorId, productId);

    // Keep the open handle only while its device is still listed. (A stick replugged so
    // fast that it gets the same node is caught by the failing read that follows.)
    if (device_ != nullptr && vendorId == vendorId_ && productId == productId_
        && std::find(paths.begin(), paths.end(), devicePath_) != paths.end()) {
        return true;
    }
    close();
    for (const std::string& path : paths) {
        if (open(path, vendorId, productId)) {
            return true;
        }
    }
    return false;
}

bool HidapiTransport::open(const std::string& path, std::uint16_t vendorId, std::uint16_t productId)
{
    device_ = hid_open_path(path.c_str());
    if (device_ == nullptr) {
        return false; // e.g. no permission (udev rule missing) or gone meanwhile
    }
    if (hid_set_nonblocking(device_, 1) != 0) {
        close();
        return false;
    }
    devicePath_ = path;
    vendorId_ = vendorId;
    productId_ = productId;
    readReportLengths();
    return true;
}

void HidapiTransport::readReportLengths()
{
    std::vector<Byte> descriptor;
#if defined(HID_API_VERSION) && defined(HID_API_MAKE_VERSION)
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0)
    descriptor.resize(kMaxReportDescriptorSize);
    const int n = hid_get_report_descriptor(device_, descriptor.data(), descriptor.size());
    descriptor.resize(n > 0 ? std::min(static_cast<std::size_t>(n), descriptor.size()) : 0);
#endif
#endif
    if (descriptor.empty()) {
        // hidapi 0.13 (Debian 12): the kernel's copy in sysfs, for a hidraw path.
        if (const auto file = hidrawReportDescriptorPath(devicePath_)) {
            if (auto bytes = readReportDescriptorFile(*file)) {
                descriptor = std::move(*bytes);
            }
        }
    }

    const ReportDescriptorInfo info = parseReportDescriptor(descriptor);
    if (info.inputLength == 0 && info.outputLength == 0) {
        // No descriptor to be had (or one without reports): assume the larger stick size.
        inputLength_ = kFallbackInputLength;
        outputLength_ = kFallbackOutputLength;
        featureLength_ = kFallbackFeatureLength;
        usesReportIds_ = false;
        outputReportId_ = 0;
        return;
    }
    inputLength_ = info.inputLength;
    outputLength_ = info.outputLength;
    featureLength_ = info.featureLength;
    usesReportIds_ = info.usesReportIds;
    outputReportId_ = info.outputReportId;
}

void HidapiTransport::writeData(ByteSpan report)
{
    if (device_ == nullptr) {
        return;
    }
    // hid_write wants the report id first (0 when the device has none).
    std::vector<Byte> buffer(1 + outputLength_, 0);
    buffer[0] = usesReportIds_ ? outputReportId_ : 0;
    std::copy_n(report.begin(), std::min(report.size(), outputLength_), buffer.begin() + 1);
    hid_write(device_, buffer.data(), buffer.size()); // the result is ignored (the protocol never checks it)
}

std::optional<Report> HidapiTransport::readData()
{
    if (device_ == nullptr) {
        return std::nullopt;
    }
    std::vector<Byte> buffer(std::max(inputLength_, kMinReadBuffer) + 1, 0);
    const int n = hid_read_timeout(device_, buffer.data(), buffer.size(), 0);
    if (n < 0) {
        close(); // the device is gone; the next findHidDevice looks afresh
        return std::nullopt;
    }
    if (n == 0) {
        return std::nullopt;
    }
    const std::size_t received = std::min(static_cast<std::size_t>(n), buffer.size());
    const std::size_t skip = usesReportIds_ ? 1 : 0;
    const std::size_t length = received > skip ? received - skip : 0;
    std::vector<Byte> bytes(std::max(length, inputLength_), 0);
    std::copy_n(buffer.begin() + static_cast<std::ptrdiff_t>(skip), length, bytes.begin());
    return Report(std::move(bytes));
}

} // namespace ormid
