// The HID report descriptor parser: any descriptor, and any device path for the sysfs
// file it is read from.

#include <string>

#include "fuzz_input.h"
#include "link/report_descriptor.h"

// Input: the descriptor. Its bytes are also tried as a device path.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ormid;
    fuzz::FuzzInput input(data, size);
    const std::vector<Byte> descriptor = input.rest(); // exactly as long as it claims

    const ReportDescriptorInfo info = parseReportDescriptor(descriptor);
    FUZZ_CHECK(info.inputLength <= kMaxReportBytes && info.outputLength <= kMaxReportBytes
               && info.featureLength <= kMaxReportBytes);
    FUZZ_CHECK(info.usesReportIds || info.outputReportId == 0);
    // A descriptor cut short declares no longer reports than the whole one.
    if (!descriptor.empty()) {
        const ReportDescriptorInfo cut = parseReportDescriptor(ByteSpan(descriptor).first(descriptor.size() - 1));
        FUZZ_CHECK(cut.inputLength <= info.inputLength && cut.outputLength <= info.outputLength
                   && cut.featureLength <= info.featureLength);
    }

    // Only a hidraw node names a sysfs file, and only the one of its own number.
    const std::string path(descriptor.begin(), descriptor.end());
    if (const std::optional<std::string> file = hidrawReportDescriptorPath(path)) {
        FUZZ_CHECK(file->find("..") == std::string::npos && file->find('\0') == std::string::npos);
        FUZZ_CHECK(*file == "/sys/class/hidraw/hidraw" + path.substr(11) + "/device/report_descriptor");
    }
    return 0;
}
