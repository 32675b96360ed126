#pragma once
// An editor panel of one function block. It fills its fields from the image when it
// opens and, on OK, hands them to its block's rule in src/core, which writes the
// block's own bytes and nothing else. The host opens and closes it.

#include <QRect>

#include "core/function_block.h"
#include "core/image.h"
#include "editors/card.h"

namespace ormid {

class Editor : public Card {
    Q_OBJECT
public:
    using Card::Card;

    virtual FunctionBlock block() const = 0;
    // Where the panel sits over the main panel, in design pixels (96 dpi); the height is
    // the least it takes: the host makes it as tall as its fields need.
    virtual QRect designGeometry() const = 0;
    // Fills the fields from the image. A panel whose opening repairs the image, or whose
    // controls write it at once, writes it here and may keep it until closing().
    virtual void open(EeBlock& image) = 0;
    // OK: the fields into the image.
    virtual void apply(EeBlock& image) = 0;
    // The panel goes away (OK or Cancel): whatever lives only while it is open goes too.
    virtual void closing() {}
    // After OK has closed the panel: what OK had to repair, for the user; empty if nothing.
    virtual QString repaired() const { return {}; }
    // The block's switch turned the function off: what the panel keeps between
    // openings starts afresh.
    virtual void switchedOff() {}
};

} // namespace ormid
