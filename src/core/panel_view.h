#pragma once
// What the main panel shows for an image: for each function block, which of its
// pictures and switch pictures are shown, the texts of its value labels and whether
// they are shown, and which of its "Tx" boxes can be ticked. The panel only applies
// this; the texts come from the blocks' own units, which the editors and the report
// use as well.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/function_block.h"
#include "core/image.h"

namespace ormid {

// The standard layout shows every block; the remote layout (a stick in remote mode)
// only those whose settings remote frames carry.
enum class PanelLayout { standard, remote };

// A picture or switch picture, by its on-screen name.
struct ElementView {
    std::string_view name;
    bool shown;
};

struct LabelView {
    std::string_view name;
    std::string text;
    bool shown;
};

// A "Tx" box: a function that is off sends nothing, so its boxes cannot be ticked.
struct TxBoxView {
    std::string_view name;
    bool enabled;
};

struct BlockView {
    FunctionBlock block;
    std::vector<ElementView> elements;
    std::vector<LabelView> labels;
    std::vector<TxBoxView> txBoxes;
};

// The blocks the layout draws from the image, in the order of FunctionBlock. Elements
// the image does not decide (a block's only picture, the layout's hidden blocks) are
// not in it.
struct PanelView {
    std::vector<BlockView> blocks;
};

// nullopt for an image shorter than the stored bytes: there is nothing to draw.
std::optional<PanelView> panelView(const EeBlock& image, PanelLayout layout);

// The Tx selection (bits of a memory status) without the boxes of functions the image
// has off: what cannot be sent is not chosen either.
Byte sendableTxSelection(const EeBlock& image, Byte selection);

} // namespace ormid
