#pragma once
// The main panel's grid in design pixels (96 dpi): four columns and three rows of block
// cells above the action bar. The panel lays its function blocks on it; the editor
// panels, which lie over the blocks, take their places from it.

#include <QRect>

namespace ormid::panelGrid {

inline constexpr int kWidth = 928;
inline constexpr int kHeight = 600;
// The function blocks, above the action bar.
inline constexpr int kBlocksHeight = 440;
inline constexpr QRect kBlocksArea{0, 0, kWidth, kBlocksHeight};
// Panels that span more than a few cells keep this far inside the blocks area.
inline constexpr int kInset = 8;

inline constexpr int kLeft = 16;
inline constexpr int kTop = 14;
inline constexpr int kColumnStep = 226;
inline constexpr int kRowStep = 142;
// A cell leaves a gap to the next one on its right and below it.
inline constexpr int kCellWidth = kColumnStep - 6;
inline constexpr int kCellHeight = kRowStep - 10;

constexpr int columnLeft(int column)
{
    return kLeft + column * kColumnStep;
}

// Just right of the column's cells.
constexpr int columnRight(int column)
{
    return columnLeft(column) + kCellWidth;
}

constexpr int rowTop(int row)
{
    return kTop + row * kRowStep;
}

// Just below the row's cells.
constexpr int rowBottom(int row)
{
    return rowTop(row) + kCellHeight;
}

constexpr QRect cell(int column, int row)
{
    return {columnLeft(column), rowTop(row), kCellWidth, kCellHeight};
}

} // namespace ormid::panelGrid
