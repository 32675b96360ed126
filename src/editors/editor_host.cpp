#include "editors/editor_host.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <iterator>

#include "core/block_timer_block.h"
#include "core/isd_block.h"
#include "core/lst_block.h"
#include "core/mff_block.h"
#include "core/output_block.h"
#include "core/remote_input_block.h"
#include "core/thermal_block.h"
#include "editors/editor.h"

namespace ormid {

namespace {

// What a click on a switch does: write the image at once, or open the block's editor
// (switching a function on is then its OK).
struct SwitchAction {
    void (*write)(EeBlock& image);
    bool opensEditor;
};

// The layouts a rule holds in (the LSt block differs between them).
enum class Layouts { both, standard, remote };

// `isOn` tells which action a two-state switch takes; a selector has no state and
// always takes `whenOn`.
struct SwitchRule {
    BlockClick click;
    bool (*isOn)(const EeBlock& image);
    SwitchAction whenOn;
    SwitchAction whenOff;
    Layouts layouts = Layouts::both;
};

constexpr SwitchAction kOpenEditor{nullptr, true};

// clang-format off
constexpr SwitchRule kSwitchRules[] = {
    {{FunctionBlock::output, BlockElement::selector}, nullptr, {stepOutputKind, false}, {}},
    {{FunctionBlock::blockTimer, BlockElement::onOff}, blockTimerOn, {switchBlockTimerOff, false}, kOpenEditor},
    {{FunctionBlock::thermal, BlockElement::onOff}, thermalOn, {switchThermalOff, false}, kOpenEditor},
    {{FunctionBlock::mff, BlockElement::onOff}, mffOn, {switchMffOff, false}, kOpenEditor},
    {{FunctionBlock::hold, BlockElement::onOff}, holdOn, {switchHoldOff, false}, kOpenEditor},
    {{FunctionBlock::lst, BlockElement::onOff}, nullptr, {switchLstInput, false}, {}, Layouts::standard},
    {{FunctionBlock::lst, BlockElement::onOff}, nullptr, {switchLstInputRemote, false}, {}, Layouts::remote},
    // The LSt picture has no editor: a click flips the polarity, which the remote layout does not show.
    {{FunctionBlock::lst, BlockElement::picture}, nullptr, {toggleLstPolarity, false}, {}, Layouts::standard},
    {{FunctionBlock::remote, BlockElement::selector}, nullptr, {stepRemoteInput, false}, {}},
    {{FunctionBlock::isd, BlockElement::onOff}, isdOn, {switchIsdOff, false}, {switchIsdOn, false}},
};
// clang-format on

// A click on these elements opens the block's editor.
constexpr BlockElement kOpeningElements[] = {BlockElement::picture, BlockElement::label};

// A translucent layer that dims what lies under it and lets every click through, so
// that the blocks take clicks exactly as before (a locked window ignores them).
class Shade final : public QWidget {
public:
    explicit Shade(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("pLockShade"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(0x20, 0x2A, 0x33, 0x55)); }
};

bool holdsIn(Layouts layouts, bool remoteLayout)
{
    return layouts == Layouts::both || (layouts == Layouts::remote) == remoteLayout;
}

} // namespace

EditorHost::EditorHost(EditorHostContext context, QObject* parent) : QObject(parent), context_(std::move(context))
{
}

void EditorHost::add(FunctionBlock block, EditorFactory make)
{
    editors_.push_back({block, std::move(make)});
}

void EditorHost::take(Editor& editor)
{
    if (shade_ == nullptr)
        shade_ = new Shade(editor.parentWidget()); // the editors share the main panel
    editor.setGeometry(context_.scaled(editor.designGeometry()));
    editor.hide();
    connect(&editor, &Editor::okClicked, this, &EditorHost::okClicked);
    connect(&editor, &Editor::cancelClicked, this, &EditorHost::cancelClicked);
}

void EditorHost::blockClicked(BlockClick click)
{
    const bool remoteLayout = context_.remoteLayout;
    const auto rule = std::find_if(std::begin(kSwitchRules), std::end(kSwitchRules), [&](const SwitchRule& r) {
        return r.click == click && holdsIn(r.layouts, remoteLayout);
    });
    if (rule != std::end(kSwitchRules)) {
        const bool switchingOff = rule->isOn != nullptr && rule->isOn(context_.image);
        const SwitchAction& action = rule->isOn == nullptr || switchingOff ? rule->whenOn : rule->whenOff;
        if (!action.opensEditor) {
            action.write(context_.image);
            // A panel never opened keeps nothing between openings.
            if (Editor* editor = builtEditor(click.block); editor != nullptr && switchingOff)
                editor->switchedOff();
            context_.imageEdited();
            return;
        }
    } else if (std::find(std::begin(kOpeningElements), std::end(kOpeningElements), click.element)
               == std::end(kOpeningElements)) {
        return;
    }
    if (Editor* editor = editorOf(click.block))
        openEditor(*editor);
}

Editor* EditorHost::builtEditor(FunctionBlock block) const
{
    for (const Entry& entry : editors_) {
        if (entry.block == block)
            return entry.built;
    }
    return nullptr;
}

Editor* EditorHost::editorOf(FunctionBlock block)
{
    for (Entry& entry : editors_) {
        if (entry.block != block)
            continue;
        if (entry.built == nullptr) {
            entry.built = entry.make();
            take(*entry.built);
        }
        return entry.built;
    }
    return nullptr;
}

void EditorHost::openEditor(Editor& editor)
{
    open_ = &editor;
    editor.open(context_.image);
    // At its place, and taller than designed when what it shows needs it (which may
    // differ between the layouts): its fields are never squashed.
    QRect geometry = context_.scaled(editor.designGeometry());
    geometry.setHeight(std::max(geometry.height(), editor.sizeHint().height()));
    editor.setGeometry(geometry);
    shade_->setGeometry(context_.scaled(context_.blocksArea));
    shade_->show();
    shade_->raise();
    editor.show();
    editor.raise();
    context_.locked = true;
}

void EditorHost::okClicked()
{
    if (open_ == nullptr)
        return;
    Editor& confirmed = *open_;
    confirmed.apply(context_.image);
    close();
    context_.imageEdited();
    if (const QString note = confirmed.repaired(); !note.isEmpty() && context_.showMessage)
        context_.showMessage(note);
}

void EditorHost::cancelClicked()
{
    if (open_ == nullptr)
        return;
    close();
    // Some panels write the image while open (a repair on opening, "Random"); the
    // main panel shows what it holds now.
    context_.imageEdited();
}

void EditorHost::close()
{
    open_->closing();
    open_->hide();
    shade_->hide();
    open_ = nullptr;
    context_.locked = false;
}

} // namespace ormid
