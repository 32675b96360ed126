#pragma once
// The function blocks of the main panel, and which of a block's elements a click hit.
// The panel reports clicks in these terms; editors and switches are chosen by them.

namespace ormid {

enum class FunctionBlock {
    powerOn,
    blockTimer,
    mff,
    thermal,
    isd,
    engine1,
    output,
    relay,
    lst,
    engine2,
    hold,
    remote,
};

enum class BlockElement {
    picture,  // the block's picture: opens its editor
    label,    // a value label beside the picture: opens its editor too
    onOff,    // the on/off switch: writes the image at once
    selector, // a multi-position switch (output kind, remote way): writes the image at once
};

struct BlockClick {
    FunctionBlock block;
    BlockElement element;

    bool operator==(const BlockClick&) const = default;
};

} // namespace ormid
