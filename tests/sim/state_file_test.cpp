#include "sim/state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include "core/crc16.h"
#include "temp_folder.h"

namespace ormid::sim {
namespace {

namespace fs = std::filesystem;

StickState sampleState()
{
    StickState state;
    for (std::size_t i = 0; i < state.memory.size(); ++i)
        state.memory[i] = static_cast<Byte>(i * 13 + (i >> 8));
    state.remote = true;
    for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
        state.deviceMemory[i] = static_cast<Byte>(255 - i);
    state.deviceFirmware = 0xFF;
    state.receivedFirmware.assign(5760, 0x00);
    for (std::size_t i = 0; i < state.receivedFirmware.size(); ++i)
        state.receivedFirmware[i] = static_cast<Byte>(i * 7);
    return state;
}

// Replaces the trailing CRC, so that a test reaches the checks behind it.
void reseal(std::string& bytes)
{
    const std::size_t body = bytes.size() - 2;
    const std::uint16_t crc = crc16(ByteSpan(reinterpret_cast<const Byte*>(bytes.data()), body));
    bytes[body] = static_cast<char>(crc & 0xFF);
    bytes[body + 1] = static_cast<char>(crc >> 8);
}

class StateFileTest : public test::TempFolderTest {};

TEST_F(StateFileTest, SavedStateLoadsBackEqual)
{
    for (const StickState& state : {sampleState(), StickState{}}) {
        const fs::path path = folder_ / "stick.state";
        ASSERT_EQ(saveStickState(path, state), "");
        const StateFileResult loaded = loadStickState(path);
        ASSERT_TRUE(loaded.ok()) << loaded.error;
        EXPECT_EQ(loaded.state, state);
    }
}

TEST_F(StateFileTest, LargestReceivedFirmwareRoundTrips)
{
    StickState state;
    state.receivedFirmware.assign(kMaxReceivedFirmware, 0x42);
    const std::optional<std::string> bytes = encodeStickState(state);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(decodeStickState(*bytes).state, state);
}

TEST_F(StateFileTest, StateTheModelNeverHoldsIsNotSaved)
{
    const fs::path path = folder_ / "stick.state";
    ASSERT_EQ(saveStickState(path, sampleState()), "");
    StickState shortMemory;
    shortMemory.memory.resize(100);
    StickState tooMuchFirmware;
    tooMuchFirmware.receivedFirmware.assign(kMaxReceivedFirmware + 1, 0x00);
    for (const StickState& bad : {shortMemory, tooMuchFirmware}) {
        EXPECT_FALSE(encodeStickState(bad));
        EXPECT_NE(saveStickState(path, bad), "");
    }
    EXPECT_EQ(loadStickState(path).state, sampleState()) << "the file on disk is kept";
}

TEST_F(StateFileTest, MissingFileIsAnError)
{
    const StateFileResult loaded = loadStickState(folder_ / "none.state");
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.find("none.state"), std::string::npos) << loaded.error;
}

struct DamageCase {
    const char* name;
    std::function<void(std::string&)> damage;
    const char* expected; // part of the error text
    friend void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }
};

class StateFileDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(StateFileDamageTest, IsRefusedWithAClearError)
{
    const DamageCase& c = GetParam();
    std::string bytes = *encodeStickState(sampleState());
    c.damage(bytes);
    const StateFileResult decoded = decodeStickState(bytes);
    EXPECT_FALSE(decoded.ok());
    EXPECT_NE(decoded.error.find(c.expected), std::string::npos) << decoded.error;
    EXPECT_EQ(decoded.state, StickState{}) << "nothing of a refused file is handed out";
}

constexpr std::size_t kFirmwareLengthAt = 8 + 3 + kStickMemorySize + kDeviceMemorySize;

INSTANTIATE_TEST_SUITE_P(
    Damage, StateFileDamageTest,
    ::testing::Values(DamageCase{"Empty", [](std::string& b) { b.clear(); }, "not a stick state file"},
                      DamageCase{"Foreign",
                                 [](std::string& b) { b = "MMN1234Street\r\n000102030405060708090A0B0C0D0E0F\r\n"; },
                                 "not a stick state file"},
                      DamageCase{"MagicOnly", [](std::string& b) { b.resize(8); }, "truncated"},
                      DamageCase{"HeaderOnly", [](std::string& b) { b.resize(11); }, "truncated"},
                      DamageCase{"CutInMemory", [](std::string& b) { b.resize(40000); }, "truncated"},
                      DamageCase{"CutInFirmware", [](std::string& b) { b.resize(b.size() - 100); }, "truncated"},
                      DamageCase{"LastByteMissing", [](std::string& b) { b.pop_back(); }, "truncated"},
                      DamageCase{"ExtraByte", [](std::string& b) { b.push_back('\0'); }, "after its end"},
                      DamageCase{"NewerFormat", [](std::string& b) { b[8] = 2; }, "format 2 is not supported"},
                      DamageCase{"FlippedMemoryByte", [](std::string& b) { b[5000] ^= 0x01; }, "checksum"},
                      DamageCase{"FlippedChecksum", [](std::string& b) { b.back() ^= 0x80; }, "checksum"},
                      DamageCase{"HugeFirmwareLength",
                                 [](std::string& b) {
                                     for (std::size_t i = 0; i < 4; ++i)
                                         b[kFirmwareLengthAt + i] = '\xFF';
                                 },
                                 "firmware length"},
                      DamageCase{"FirmwareLengthPastEnd",
                                 [](std::string& b) {
                                     b[kFirmwareLengthAt] = '\x00';
                                     b[kFirmwareLengthAt + 1] = '\x00';
                                     b[kFirmwareLengthAt + 2] = '\x01'; // 65536 bytes announced, 5760 present
                                 },
                                 "truncated"},
                      DamageCase{"UnknownFlags",
                                 [](std::string& b) {
                                     b[9] = '\x03';
                                     reseal(b);
                                 },
                                 "unknown flags"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace ormid::sim
