#include "app/panel_layout.h"

#include <algorithm>
#include <iterator>

namespace ormid::panelLayout {

QRect cellRect(const TileSpec& spec)
{
    return panelGrid::cell(spec.column, spec.row);
}

QString tileName(Tile tile)
{
    return QStringLiteral("tile%1").arg(static_cast<int>(tile));
}

FunctionBlock blockOf(Tile tile)
{
    return std::find_if(std::begin(kTileBlocks), std::end(kTileBlocks),
                        [tile](const auto& t) { return t.first == tile; })
        ->second;
}

const QStringList& selectorCaptions(Selector selector)
{
    static const QStringList outputKinds{QStringLiteral("1-10V"), QStringLiteral("DALI"), QStringLiteral("PWM")};
    static const QStringList remoteWays{QStringLiteral("Off"), QStringLiteral("Mains"), QStringLiteral("LSt")};
    return selector == Selector::OutputKind ? outputKinds : remoteWays;
}

} // namespace ormid::panelLayout

namespace ormid {

int memoryNumber(Action action)
{
    for (const panelLayout::ButtonSpec& spec : panelLayout::kMemoryButtons)
        if (spec.action == action)
            return static_cast<int>(&spec - panelLayout::kMemoryButtons.data()) + 1;
    return 0;
}

} // namespace ormid
