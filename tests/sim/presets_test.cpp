#include "sim/presets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "case_name.h"
#include "core/data_block.h"
#include "link/control_block.h"
#include "sim/pattern_image.h"
#include "temp_folder.h"

namespace ormid::sim {
namespace {

namespace fs = std::filesystem;

ControlBlock controlBlockOf(const StickState& state)
{
    return readStickBlock(state, kControlBlockAddress);
}

class PresetMemoryTest : public ::testing::TestWithParam<bool> {};

TEST_P(PresetMemoryTest, EveryMemoryReadsBackThroughTheProgramsReaders)
{
    const bool remote = GetParam();
    StickState state;
    state.remote = remote;
    const std::array<std::string, 4> names = {"Süd", "Park", "Bridge-12", ""};
    for (int n = 1; n <= kMemoryCount; ++n)
        ASSERT_EQ(presetMemory(state, n, test::patternImage(static_cast<Byte>(n)), names[n - 1]), "");

    const ControlBlock control = controlBlockOf(state);
    for (int n = 1; n <= kMemoryCount; ++n) {
        SCOPED_TRACE(n);
        const MemoryRecord record = readMemoryRecord(control, n);
        EXPECT_TRUE(record.isValid(remote));
        EXPECT_FALSE(record.isValid(!remote));
        EXPECT_EQ(record.status, 0);
        EXPECT_EQ(record.length, kStoredLength);
        EXPECT_EQ(record.blockNumber, memoryBlockNumber(n));

        EeBlock image(kImageSize, 0x00);
        ASSERT_EQ(copyDataBlockToImage(readStickBlock(state, record.dataAddress()), record.length, image),
                  DataBlockWalk::copied);
        const EeBlock expected = test::patternImage(static_cast<Byte>(n));
        EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + kStoredImageBytes, image.begin()));
    }
    EXPECT_EQ(readMemoryRecord(control, 1).name(), "Süd     ");
    EXPECT_EQ(readMemoryRecord(control, 3).name(), "Bridge-1") << "at most 8 characters";
    EXPECT_EQ(readMemoryRecord(control, 4).name(), "") << "no name keeps the erased info bytes";
    EXPECT_FALSE(readFirmwareRecord(control).isValid()) << "memories leave the firmware record alone";
}

INSTANTIATE_TEST_SUITE_P(LocalAndRemote, PresetMemoryTest, ::testing::Bool(), test::stickKindName);

TEST(PresetMemory, EmptyNameKeepsTheNameAlreadyThere)
{
    StickState state;
    ASSERT_EQ(presetMemory(state, 2, test::patternImage(1), "Old"), "");
    ASSERT_EQ(presetMemory(state, 2, test::patternImage(2), ""), "");
    EXPECT_EQ(readMemoryRecord(controlBlockOf(state), 2).name(), "Old     ");
}

TEST(PresetMemory, BadSlotOrShortImageChangesNothing)
{
    StickState state;
    const StickState before = state;
    const EeBlock image = test::patternImage(0);
    EXPECT_NE(presetMemory(state, 0, image, "A"), "");
    EXPECT_NE(presetMemory(state, 5, image, "A"), "");
    EXPECT_NE(presetMemory(state, 1, ByteSpan(image).first(kStoredImageBytes - 1), "A"), "");
    EXPECT_EQ(state, before);
    EXPECT_EQ(presetMemory(state, 1, ByteSpan(image).first(kStoredImageBytes), "A"), "") << "96 bytes suffice";
}

TEST(PresetFirmwareRecordTest, WritesTheRecordTheProgramReads)
{
    StickState state;
    ASSERT_EQ(presetMemory(state, 1, test::patternImage(0), "Keep"), "");
    const ControlBlock before = controlBlockOf(state);
    ASSERT_EQ(presetFirmwareRecord(state, 77, 5704), "");

    const ControlBlock control = controlBlockOf(state);
    const FirmwareRecord record = readFirmwareRecord(control);
    EXPECT_TRUE(record.isValid());
    EXPECT_EQ(stickFirmwareVersion(control), 77);
    EXPECT_EQ(record.size, 5704);
    EXPECT_EQ(record.firstBlock, kFirmwareFirstBlock);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + kFirmwareRecordOffset, control.begin()))
        << "memory records untouched";
}

TEST(PresetFirmwareRecordTest, SizeTheProgramWouldRefuseIsAnError)
{
    StickState state;
    const StickState before = state;
    EXPECT_NE(presetFirmwareRecord(state, 77, 0x3000), "");
    EXPECT_EQ(state, before);
    EXPECT_EQ(presetFirmwareRecord(state, 77, 0x2FFF), "");
}

class DeviceMemoryFileTest : public test::TempFolderTest {
protected:
    fs::path write(const std::string& name, std::size_t size)
    {
        const fs::path path = folder_ / name;
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i ^ 0xA5);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

TEST_F(DeviceMemoryFileTest, LoadsExactly256Bytes)
{
    StickState state;
    ASSERT_EQ(loadDeviceMemory(state, write("device.bin", 256)), "");
    for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
        ASSERT_EQ(state.deviceMemory[i], static_cast<Byte>(i ^ 0xA5)) << i;
}

TEST_F(DeviceMemoryFileTest, OtherSizesAndMissingFilesAreErrors)
{
    StickState state;
    const StickState before = state;
    for (const fs::path& path :
         {write("short.bin", 255), write("long.bin", 257), write("empty.bin", 0), folder_ / "missing.bin"}) {
        const std::string error = loadDeviceMemory(state, path);
        EXPECT_NE(error.find(path.filename().string()), std::string::npos) << error;
    }
    EXPECT_EQ(state, before);
}

} // namespace
} // namespace ormid::sim
