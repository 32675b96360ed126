// Every editor, opened on images full of arbitrary values, clicked through all its
// fields and confirmed, writes its own bytes and nothing else, and never crashes.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "app/window_fixture.h"
#include "core/encodings.h"
#include "core/image.h"

namespace ormid {
namespace {

// The bits of each byte an editor may write.
using OwnedBits = std::map<std::size_t, Byte>;

OwnedBits range(std::size_t first, std::size_t last, OwnedBits more = {})
{
    for (std::size_t i = first; i <= last; ++i)
        more[i] = 0xFF;
    return more;
}

struct EditorCase {
    const char* opener;
    std::vector<const char*> fields;
    const char* ok;
    OwnedBits owned;
};

const std::vector<EditorCase>& editorCases()
{
    static const std::vector<EditorCase> cases{
        {"iTDpc_en", {"ePOLevel", "ePOFade"}, "bDPC_OK", {{3, 0xFF}, {4, 0xFF}, {5, 0xFF}, {68, 0x02}}},
        {"iTBlock_en", {"eBlockTime"}, "bTBlockOK", {{1, 0xFF}}},
        {"iTM",
         {"eOutput_T1", "eOutput_L1", "eOutput_T2", "eOutput_L2", "eOutput_T3", "eOutput_L3"},
         "bTMOk",
         range(89, 95, {{0, 0x80}})},
        {"iISD1_en", {"eD1_Time1", "eD1_Fade1", "eD1_Level1"}, "bDimmer1_OK", range(38, 67, {{0, 0x04}})},
        {"iISD2_en", {"eD2_Delay1", "eD2_Fade1", "eD2_Level1"}, "bDimmer2OK", range(8, 37, {{0, 0x08}})},
        {"iISD_en", {"eISDOffset", "eW2S", "eS2W"}, "bISDOK", range(85, 87, {{7, 0xFF}, {68, 0x01}})},
        {"lMinLevel", {"eMinLevel"}, "bOutput_OK", {{2, 0xFF}, {0, 0x03}, {68, 0x04}}},
        {"iRelay", {}, "bRelay_OK", {{88, 0x01}}},
        {"iMFF_en",
         {"eLifeTime", "eReduction", "eStopLevel", "eL1", "eL2", "eL3", "eBurnIn"},
         "bMFFOk",
         range(69, 75, {{68, 0x08}})},
        {"iTHold_en", {"eHoldTime"}, "bTHoldOK", {{6, 0xFF}}},
    };
    return cases;
}

// Arbitrary bytes with every function on, so that every block's picture can be clicked.
EeBlock arbitraryImage(unsigned seed)
{
    std::mt19937 random(seed);
    EeBlock image = makeDefaultImage();
    for (std::size_t i = 0; i < kStoredImageBytes; ++i)
        image[i] = static_cast<Byte>(random());
    image[field::outputByte] |= (1 << bit::isdEnable) | (1 << bit::lstEnable) | (1 << bit::tmEnable);
    image[field::blockTime] |= 1;
    image[field::holdTime] |= 1;
    image[field::mffLifetime] |= 1;
    image[engine1Step(1) + 2] &= 0xFE; // step 1 of each engine in use
    image[engine2Step(1) + 2] &= 0xFE;
    return image;
}

class EditorsOwnBytesTest : public test::WindowOnStick, public testing::WithParamInterface<unsigned> {};

TEST_P(EditorsOwnBytesTest, EachEditorWritesOnlyItsOwnBits)
{
    editMemory(arbitraryImage(GetParam()));
    for (const EditorCase& editor : editorCases()) {
        SCOPED_TRACE(editor.opener);
        const EeBlock before = image();
        press(editor.opener);
        for (const char* name : editor.fields) {
            if (shown(name) && element(name)->isEnabled())
                press(name);
        }
        press(editor.ok);
        ASSERT_FALSE(run().formDisabled);
        for (std::size_t i = 0; i < image().size(); ++i) {
            const auto owned = editor.owned.find(i);
            const Byte mask = owned == editor.owned.end() ? 0 : owned->second;
            EXPECT_EQ(image()[i] & ~mask, before[i] & ~mask) << "byte " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Images, EditorsOwnBytesTest, testing::Range(1u, 7u));

} // namespace
} // namespace ormid
