#include "editors/editor_host.h"

#include <algorithm>
#include <iterator>

#include "core/block_timer_block.h"
#include "core/output_block.h"
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

// `isOn` tells which action a two-state switch takes; a selector has no state and
// always takes `whenOn`.
struct SwitchRule {
    BlockClick click;
    bool (*isOn)(const EeBlock& image);
    SwitchAction whenOn;
    SwitchAction whenOff;
};

constexpr SwitchAction kOpenEditor{nullptr, true};

// clang-format off
constexpr SwitchRule kSwitchRules[] = {
    {{FunctionBlock::output, BlockElement::selector}, nullptr, {stepOutputKind, false}, {}},
    {{FunctionBlock::blockTimer, BlockElement::onOff}, blockTimerOn, {switchBlockTimerOff, false}, kOpenEditor},
    {{FunctionBlock::thermal, BlockElement::onOff}, thermalOn, {switchThermalOff, false}, kOpenEditor},
};
// clang-format on

// A click on these elements opens the block's editor.
constexpr BlockElement kOpeningElements[] = {BlockElement::picture, BlockElement::label};

} // namespace

EditorHost::EditorHost(EditorHostContext context, QObject* parent) : QObject(parent), context_(std::move(context))
{
}

void EditorHost::add(Editor& editor)
{
    editors_.push_back(&editor);
    editor.setGeometry(context_.scaled(editor.designGeometry()));
    editor.hide();
    connect(&editor, &Editor::okClicked, this, &EditorHost::okClicked);
    connect(&editor, &Editor::cancelClicked, this, &EditorHost::cancelClicked);
}

void EditorHost::blockClicked(BlockClick click)
{
    const auto rule = std::find_if(std::begin(kSwitchRules), std::end(kSwitchRules),
                                   [click](const SwitchRule& r) { return r.click == click; });
    if (rule != std::end(kSwitchRules)) {
        const SwitchAction& action
            = rule->isOn == nullptr || rule->isOn(context_.image) ? rule->whenOn : rule->whenOff;
        if (!action.opensEditor) {
            action.write(context_.image);
            context_.redraw();
            return;
        }
    } else if (std::find(std::begin(kOpeningElements), std::end(kOpeningElements), click.element)
               == std::end(kOpeningElements)) {
        return;
    }
    const auto editor = std::find_if(editors_.begin(), editors_.end(),
                                     [click](const Editor* e) { return e->block() == click.block; });
    if (editor != editors_.end())
        openEditor(**editor);
}

void EditorHost::openEditor(Editor& editor)
{
    open_ = &editor;
    editor.open(context_.image);
    editor.show();
    editor.raise();
    context_.run.formDisabled = true;
}

void EditorHost::okClicked()
{
    if (open_ == nullptr)
        return;
    Editor& confirmed = *open_;
    confirmed.apply(context_.image);
    close();
    context_.redraw();
    if (const QString note = confirmed.repaired(); !note.isEmpty() && context_.showMessage)
        context_.showMessage(note);
    if (context_.run.remoteMode && confirmed.changesRemoteFrames() && context_.remoteChanged)
        context_.remoteChanged();
}

void EditorHost::cancelClicked()
{
    if (open_ == nullptr)
        return;
    close();
    // Some panels write the image while open (a repair on opening, "Random"); the
    // main panel shows what it holds now.
    context_.redraw();
}

void EditorHost::close()
{
    open_->closing();
    open_->hide();
    open_ = nullptr;
    context_.run.formDisabled = false;
}

} // namespace ormid
