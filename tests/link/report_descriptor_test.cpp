#include "link/report_descriptor.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace ormid {
namespace {

using Bytes = std::vector<Byte>;

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// A vendor-defined HID with one input and one output report of `count` bytes each, in the
// shape of the Atmel generic HID examples the stick derives from.
Bytes vendorHid(Byte inCount, Byte outCount)
{
    // clang-format off
    return {
        0x06, 0x00, 0xFF,       // Usage Page (Vendor 0xFF00)
        0x09, 0x01,             // Usage (1)
        0xA1, 0x01,             // Collection (Application)
        0x09, 0x02,             //   Usage (2)
        0x15, 0x00,             //   Logical Minimum (0)
        0x26, 0xFF, 0x00,       //   Logical Maximum (255)
        0x75, 0x08,             //   Report Size (8)
        0x95, inCount,          //   Report Count
        0x81, 0x02,             //   Input (Data, Var, Abs)
        0x09, 0x03,             //   Usage (3)
        0x75, 0x08,             //   Report Size (8)
        0x95, outCount,         //   Report Count
        0x91, 0x02,             //   Output (Data, Var, Abs)
        0xC0,                   // End Collection
    };
    // clang-format on
}

struct DescriptorCase {
    const char* name;
    Bytes descriptor;
    std::size_t input;
    std::size_t output;
    std::size_t feature;
    bool usesReportIds;
    Byte outputReportId;
    bool complete;
};

std::vector<DescriptorCase> descriptorCases()
{
    // clang-format off
    std::vector<DescriptorCase> cases = {
        {"empty", {}, 0, 0, 0, false, 0, true},
        {"memory mode stick 8/8", vendorHid(8, 8), 8, 8, 0, false, 0, true},
        {"USB Stick mode 64/64", vendorHid(64, 64), 64, 64, 0, false, 0, true},
        {"different in and out", vendorHid(9, 33), 9, 33, 0, false, 0, true},
        {"with a feature report",
         join({vendorHid(8, 8), {0x75, 0x08, 0x95, 0x04, 0xB1, 0x02}}), 8, 8, 4, false, 0, true},
        {"report ids: largest of each kind",
         {0x75, 0x08,
          0x85, 0x01, 0x95, 0x07, 0x81, 0x02,  // input id 1: 7 bytes
          0x85, 0x02, 0x95, 0x20, 0x81, 0x02,  // input id 2: 32 bytes
          0x85, 0x03, 0x95, 0x10, 0x91, 0x02,  // output id 3: 16 bytes
          0x85, 0x04, 0x95, 0x3F, 0x91, 0x02,  // output id 4: 63 bytes
          0x85, 0x05, 0x95, 0x02, 0xB1, 0x02}, // feature id 5: 2 bytes
         32, 63, 2, true, 4, true},
        {"report ids: fields of one report add up",
         {0x85, 0x07, 0x75, 0x08, 0x95, 0x04, 0x91, 0x02, 0x95, 0x04, 0x91, 0x02}, 0, 8, 0, true, 7,
         true},
        {"bits round up to bytes",
         {0x75, 0x01, 0x95, 0x05, 0x81, 0x02,  // 5 bits
          0x75, 0x03, 0x95, 0x01, 0x81, 0x03,  // 3 padding bits: 1 byte
          0x75, 0x01, 0x95, 0x0B, 0x91, 0x02}, // 11 bits: 2 bytes
         1, 2, 0, false, 0, true},
        {"two- and four-byte item data",
         {0x75, 0x08, 0x96, 0x00, 0x01, 0x81, 0x02,         // Report Count 256
          0x97, 0x00, 0x02, 0x00, 0x00, 0x91, 0x02},        // Report Count 512
         256, 512, 0, false, 0, true},
        {"zero-size item data resets the value",
         {0x75, 0x08, 0x95, 0x08, 0x94, 0x81, 0x02, 0x95, 0x02, 0x91, 0x02}, 0, 2, 0, false, 0, true},
        {"push and pop restore the globals",
         {0x75, 0x08, 0x95, 0x08, 0xA4, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x81, 0x02}, 10, 0, 0, false,
         0, true},
        {"pop restores the report id",
         {0x75, 0x08, 0x95, 0x04, 0x85, 0x01, 0xA4, 0x85, 0x02, 0x81, 0x02, 0xB4, 0x81, 0x02}, 4, 0,
         0, true, 0, true},
        {"long item skipped",
         {0xFE, 0x02, 0x10, 0x75, 0x20, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02}, 4, 0, 0, false, 0, true},
        {"truncated short item at the start", {0x75, 0x08, 0x95}, 0, 0, 0, false, 0, false},
        {"truncated short item after a report",
         join({vendorHid(8, 8), {0x96, 0x01}}), 8, 8, 0, false, 0, false},
        {"truncated four-byte item", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x97, 0x01, 0x02}, 1, 0, 0,
         false, 0, false},
        {"truncated long item header", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xFE, 0x05}, 1, 0, 0, false,
         0, false},
        {"truncated long item data", {0xFE, 0x05, 0x10, 0x01, 0x02, 0x75, 0x08}, 0, 0, 0, false, 0,
         false},
        {"pop without push", {0xB4, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}, 1, 0, 0, false, 0, false},
        {"report id 0 is reserved", {0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}, 1, 0, 0, true, 0,
         false},
        {"report id wider than a byte",
         {0x86, 0x01, 0x01, 0x75, 0x08, 0x95, 0x01, 0x91, 0x02}, 0, 1, 0, true, 1, false},
        {"huge size times count saturates",
         {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02},
         kMaxReportBytes, 0, 0, false, 0, true},
    };
    // clang-format on

    // Hostile push depth: the push past the limit ends the parse, the report after it is
    // never seen.
    Bytes deepPush(kMaxDescriptorPushDepth + 1, 0xA4);
    deepPush.insert(deepPush.end(), {0x75, 0x08, 0x95, 0x08, 0x81, 0x02});
    cases.push_back({"push deeper than the limit", deepPush, 0, 0, 0, false, 0, false});

    Bytes pushAtLimit(kMaxDescriptorPushDepth, 0xA4);
    pushAtLimit.insert(pushAtLimit.end(), {0x75, 0x08, 0x95, 0x08, 0x81, 0x02});
    cases.push_back({"push up to the limit", pushAtLimit, 8, 0, 0, false, 0, true});

    Bytes manyPushes(100000, 0xA4);
    cases.push_back({"a hundred thousand pushes", manyPushes, 0, 0, 0, false, 0, false});
    return cases;
}

TEST(ReportDescriptorTest, LengthsFromDescriptors)
{
    for (const DescriptorCase& c : descriptorCases()) {
        SCOPED_TRACE(c.name);
        const ReportDescriptorInfo info = parseReportDescriptor(c.descriptor);
        EXPECT_EQ(info.inputLength, c.input);
        EXPECT_EQ(info.outputLength, c.output);
        EXPECT_EQ(info.featureLength, c.feature);
        EXPECT_EQ(info.usesReportIds, c.usesReportIds);
        EXPECT_EQ(info.outputReportId, c.outputReportId);
        EXPECT_EQ(info.complete, c.complete);
    }
}

TEST(ReportDescriptorTest, EveryTruncationIsSafeAndNeverLonger)
{
    const Bytes full
        = join({vendorHid(64, 64), {0xFE, 0x03, 0x01, 0x01, 0x02, 0x03}, {0x75, 0x08, 0x96, 0x04, 0x00, 0xB1, 0x02}});
    const ReportDescriptorInfo whole = parseReportDescriptor(full);
    EXPECT_TRUE(whole.complete);
    EXPECT_EQ(whole.featureLength, 4u);
    for (std::size_t n = 0; n < full.size(); ++n) {
        SCOPED_TRACE(n);
        // A copy of exactly n bytes, so a sanitizer sees any read past the end.
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const ReportDescriptorInfo info = parseReportDescriptor(cut);
        EXPECT_LE(info.inputLength, whole.inputLength);
        EXPECT_LE(info.outputLength, whole.outputLength);
        EXPECT_LE(info.featureLength, whole.featureLength);
    }
}

TEST(ReportDescriptorTest, RandomBytesStayWithinBounds)
{
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<Byte>(seed >> 24);
    };
    for (int round = 0; round < 5000; ++round) {
        Bytes descriptor(static_cast<std::size_t>(next()) % 64);
        for (Byte& b : descriptor) {
            b = next();
        }
        const ReportDescriptorInfo info = parseReportDescriptor(descriptor);
        EXPECT_LE(info.inputLength, kMaxReportBytes);
        EXPECT_LE(info.outputLength, kMaxReportBytes);
        EXPECT_LE(info.featureLength, kMaxReportBytes);
    }
}

TEST(ReportDescriptorTest, HidrawSysfsPath)
{
    struct Case {
        std::string devicePath;
        std::optional<std::string> sysfs;
    };
    const std::vector<Case> cases = {
        {"/dev/hidraw3", "/sys/class/hidraw/hidraw3/device/report_descriptor"},
        {"/dev/hidraw0", "/sys/class/hidraw/hidraw0/device/report_descriptor"},
        {"/dev/hidraw127", "/sys/class/hidraw/hidraw127/device/report_descriptor"},
        {"/dev/hidraw", std::nullopt},
        {"", std::nullopt},
        {"/dev/hidraw3/../../etc", std::nullopt},
        {"/dev/hidraw-1", std::nullopt},
        {"/dev/hidraw1234567", std::nullopt},
        {"1-2:1.0", std::nullopt}, // a libusb-backend path
        {"/dev/usb/hiddev0", std::nullopt},
        {"IOService:/AppleACPIPlatformExpert", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.devicePath);
        EXPECT_EQ(hidrawReportDescriptorPath(c.devicePath), c.sysfs);
    }
}

class DescriptorFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ormid-descriptor-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        for (const std::string& f : files_) {
            std::remove(f.c_str());
        }
        ::rmdir(dir_.c_str());
    }
    std::string write(const std::string& name, const Bytes& bytes)
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        files_.push_back(path);
        return path;
    }

    std::string dir_;
    std::vector<std::string> files_;
};

TEST_F(DescriptorFileTest, ReadsTheDescriptorBytes)
{
    const Bytes descriptor = vendorHid(8, 8);
    const auto read = readReportDescriptorFile(write("rd", descriptor));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, descriptor);
    EXPECT_EQ(parseReportDescriptor(*read).inputLength, 8u);
}

TEST_F(DescriptorFileTest, ReadsAtMostTheLargestDescriptor)
{
    const Bytes big(kMaxReportDescriptorSize + 100, 0xC0);
    const auto read = readReportDescriptorFile(write("big", big));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), kMaxReportDescriptorSize);
}

TEST_F(DescriptorFileTest, MissingOrEmptyFileGivesNothing)
{
    EXPECT_FALSE(readReportDescriptorFile(dir_ + "/missing").has_value());
    EXPECT_FALSE(readReportDescriptorFile(write("empty", {})).has_value());
    EXPECT_FALSE(readReportDescriptorFile(dir_).has_value()); // a folder
}

} // namespace
} // namespace ormid
