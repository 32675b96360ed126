#pragma once
// The report lengths of a HID device, read from its report descriptor.
//
// hidapi before 0.14 cannot tell a report's length, so the hidapi transport reads the
// device's report descriptor (sysfs on Linux, hid_get_report_descriptor where hidapi has
// it) and this parser works the three lengths out of it. Descriptors come from outside:
// the parser never reads past the end, bounds the Push depth and saturates every sum.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/image.h"

namespace ormid {

struct ReportDescriptorInfo {
    // Length in bytes of the largest report of each kind, without the report-id byte.
    std::size_t inputLength = 0;
    std::size_t outputLength = 0;
    std::size_t featureLength = 0;
    // True when the descriptor declares report ids; reports then travel with the id first.
    bool usesReportIds = false;
    // The report id of the longest output report (0 when the device has no report ids).
    Byte outputReportId = 0;
    // False when the descriptor was truncated or malformed; the lengths then hold what
    // the items before the fault declared.
    bool complete = true;
};

// Push levels kept; a deeper Push ends the parse (complete = false).
constexpr std::size_t kMaxDescriptorPushDepth = 16;
// A report length is saturated at this many bytes (hidraw's own limit is 16 KiB).
constexpr std::size_t kMaxReportBytes = 65535;
// The largest report descriptor read (the USB HID limit hidapi also uses).
constexpr std::size_t kMaxReportDescriptorSize = 4096;

ReportDescriptorInfo parseReportDescriptor(ByteSpan descriptor);

// Linux: the sysfs file holding the report descriptor of a hidraw device path such as
// "/dev/hidraw3" ("/sys/class/hidraw/hidraw3/device/report_descriptor"); nothing for a
// path that is not a hidraw node (libusb paths, other platforms, anything odd).
std::optional<std::string> hidrawReportDescriptorPath(const std::string& devicePath);

// Reads a report-descriptor file, at most kMaxReportDescriptorSize bytes; nothing when
// the file cannot be read or is empty.
std::optional<std::vector<Byte>> readReportDescriptorFile(const std::string& path);

} // namespace ormid
