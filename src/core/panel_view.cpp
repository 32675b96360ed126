#include "core/panel_view.h"

#include <algorithm>
#include <array>

#include "core/block_timer_block.h"
#include "core/encodings.h"
#include "core/isd_block.h"
#include "core/lst_block.h"
#include "core/mff_block.h"
#include "core/output_block.h"
#include "core/power_on_block.h"
#include "core/remote_frames.h"
#include "core/remote_input_block.h"
#include "core/thermal_block.h"

namespace ormid {

namespace {

using ImageTest = bool (*)(const EeBlock& image);

// The layouts a rule holds in.
enum class Layouts { both, standard, remote };

bool always(const EeBlock&)
{
    return true;
}

bool lstOff(const EeBlock& image)
{
    return !lstOn(image);
}

bool invertedPolarity(const EeBlock& image)
{
    return TestBit(image[field::outputByte], bit::lstPolarity);
}

// The hold timer counts only while the LSt input it lengthens is on.
bool holdShownOn(const EeBlock& image)
{
    return lstOn(image) && holdOn(image);
}

bool daliOutput(const EeBlock& image)
{
    return isDali(outputKind(image));
}

bool pwmOutput(const EeBlock& image)
{
    return outputKind(image) == OutputKind::pwm;
}

bool remoteViaMains(const EeBlock& image)
{
    return remoteInput(image) == RemoteInput::viaMains;
}

bool remoteViaLst(const EeBlock& image)
{
    return remoteInput(image) == RemoteInput::viaLst;
}

bool remoteOn(const EeBlock& image)
{
    return remoteInput(image) != RemoteInput::off;
}

// Pictures that lie at one place: the first whose test holds is shown, the others are
// hidden. Unused choices have no test.
struct Choice {
    std::string_view name;
    ImageTest when = nullptr;
};

struct PlaceRule {
    FunctionBlock block;
    Layouts layouts;
    std::array<Choice, 3> choices;
};

// clang-format off
constexpr PlaceRule kPlaces[] = {
    {FunctionBlock::blockTimer, Layouts::standard, {{{"iTBlock_en", blockTimerOn}, {"Block_dis", always}}}},
    {FunctionBlock::blockTimer, Layouts::standard, {{{"SW_block_close", blockTimerOn}, {"sw_block_open", always}}}},
    {FunctionBlock::mff, Layouts::standard, {{{"iMFF_en", mffOn}, {"MFF_dis", always}}}},
    {FunctionBlock::mff, Layouts::standard, {{{"SW_mff_on", mffOn}, {"sw_mff_off", always}}}},
    {FunctionBlock::thermal, Layouts::standard, {{{"iTM", thermalOn}, {"iTM_dis", always}}}},
    {FunctionBlock::thermal, Layouts::standard, {{{"sw_tm_on", thermalOn}, {"sw_tm_off", always}}}},
    {FunctionBlock::isd, Layouts::both, {{{"iISD_en", isdOn}, {"Astro_dis", always}}}},
    {FunctionBlock::isd, Layouts::both, {{{"SW_astro_close", isdOn}, {"sw_astro_open", always}}}},
    {FunctionBlock::engine1, Layouts::both, {{{"iISD1_en", isdOn}, {"dm1_dis", always}}}},
    {FunctionBlock::output, Layouts::standard, {{{"Dali", daliOutput}, {"PWM", pwmOutput}, {"iTen", always}}}},
    {FunctionBlock::output, Layouts::standard, {{{"SW_DALI", daliOutput}, {"SW_PWM", pwmOutput}, {"SW_Ten", always}}}},
    {FunctionBlock::lst, Layouts::standard, {{{"LST_dis", lstOff}, {"iLST_pol", invertedPolarity}, {"iLst_en", always}}}},
    {FunctionBlock::lst, Layouts::remote, {{{"Lst_en_r1", lstOn}, {"LST_dis_r1", always}}}},
    {FunctionBlock::lst, Layouts::both, {{{"SW_lst_close", lstOn}, {"sw_lst_open", always}}}},
    {FunctionBlock::engine2, Layouts::both, {{{"iISD2_en", lstOn}, {"dm2_dis", always}}}},
    {FunctionBlock::hold, Layouts::standard, {{{"iTHold_en", holdShownOn}, {"HOLD_dis", always}}}},
    {FunctionBlock::hold, Layouts::standard, {{{"SW_hold_dis", lstOff}, {"sw_hold_on", holdOn}, {"sw_hold_off", always}}}},
    {FunctionBlock::remote, Layouts::standard, {{{"rc_main", remoteViaMains}, {"rc_lst", remoteViaLst}, {"rc_off", always}}}},
    {FunctionBlock::remote, Layouts::standard, {{{"iRemote_en", remoteOn}, {"rem_dis", always}}}},
};
// clang-format on

std::string powerOnLevelLabel(const EeBlock& image)
{
    return "L=" + readPowerOn(image).level + "%";
}

std::string powerOnDelayLabel(const EeBlock& image)
{
    return "D=" + readPowerOn(image).delay;
}

std::string powerOnFadeLabel(const EeBlock& image)
{
    return "F=" + readPowerOn(image).fade;
}

std::string minLevelLabel(const EeBlock& image)
{
    return "Min. Level=" + std::to_string(readOutputSetup(image).minLevel) + "%";
}

std::string blockTimeLabel(const EeBlock& image)
{
    return blockTimeText(image[field::blockTime]);
}

struct LabelRule {
    FunctionBlock block;
    Layouts layouts;
    std::string_view name;
    std::string (*text)(const EeBlock& image);
    ImageTest shown;
};

constexpr LabelRule kLabels[] = {
    {FunctionBlock::powerOn, Layouts::both, "lPO_Level", powerOnLevelLabel, always},
    {FunctionBlock::powerOn, Layouts::both, "lPO_Delay", powerOnDelayLabel, always},
    {FunctionBlock::powerOn, Layouts::both, "lPO_Fade", powerOnFadeLabel, always},
    {FunctionBlock::blockTimer, Layouts::standard, "lBlock", blockTimeLabel, blockTimerOn},
    {FunctionBlock::output, Layouts::standard, "lMinLevel", minLevelLabel, always},
    {FunctionBlock::hold, Layouts::standard, "lHold", holdTimeText, holdShownOn},
};

// The DST state and engine 1's steps are sent only while ISD is on, engine 2's steps
// only while the LSt input is on. The boxes of the functions' own switches are always
// free to tick.
struct TxRule {
    FunctionBlock block;
    Layouts layouts;
    std::string_view name;
    Byte bit; // in the Tx selection
    ImageTest enabled;
};

constexpr TxRule kTxBoxes[] = {
    {FunctionBlock::isd, Layouts::both, "cbTxISD", txBit::dst, isdOn},
    {FunctionBlock::engine1, Layouts::both, "cbTxISDEngine", txBit::engine1, isdOn},
    {FunctionBlock::engine2, Layouts::remote, "cbTXLstEngine", txBit::engine2, lstOn},
};

bool holdsIn(Layouts layouts, PanelLayout layout)
{
    return layouts == Layouts::both || (layouts == Layouts::remote) == (layout == PanelLayout::remote);
}

BlockView& blockView(PanelView& view, FunctionBlock block)
{
    const auto found = std::find_if(view.blocks.begin(), view.blocks.end(),
                                    [block](const BlockView& b) { return b.block == block; });
    if (found != view.blocks.end())
        return *found;
    return view.blocks.emplace_back(BlockView{block, {}, {}, {}});
}

} // namespace

std::optional<PanelView> panelView(const EeBlock& image, PanelLayout layout)
{
    if (image.size() < kStoredImageBytes)
        return std::nullopt;
    PanelView view;
    for (const PlaceRule& place : kPlaces) {
        if (!holdsIn(place.layouts, layout))
            continue;
        std::vector<ElementView>& elements = blockView(view, place.block).elements;
        bool chosen = false;
        for (const Choice& choice : place.choices) {
            if (choice.when == nullptr)
                break;
            const bool shown = !chosen && choice.when(image);
            chosen = chosen || shown;
            elements.push_back({choice.name, shown});
        }
    }
    for (const LabelRule& label : kLabels) {
        if (holdsIn(label.layouts, layout))
            blockView(view, label.block).labels.push_back({label.name, label.text(image), label.shown(image)});
    }
    for (const TxRule& box : kTxBoxes) {
        if (holdsIn(box.layouts, layout))
            blockView(view, box.block).txBoxes.push_back({box.name, box.enabled(image)});
    }
    std::sort(view.blocks.begin(), view.blocks.end(),
              [](const BlockView& a, const BlockView& b) { return a.block < b.block; });
    return view;
}

Byte sendableTxSelection(const EeBlock& image, Byte selection)
{
    if (image.size() < kStoredImageBytes)
        return selection;
    for (const TxRule& box : kTxBoxes) {
        if (!box.enabled(image))
            selection = ClearBit(selection, box.bit);
    }
    return selection;
}

} // namespace ormid
