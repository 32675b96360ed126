#pragma once
// Opens a function block's editor panel when its picture or label is clicked, lets
// the editor write its own bytes on OK, and hands every change of the image to the
// window, which settles and draws it; a block's switches write the image at once and
// hand it on the same way. While a panel is open the window is locked (`formDisabled`).

#include <QObject>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

#include "core/function_block.h"
#include "core/image.h"

class QWidget;

namespace ormid {

class Editor;

struct EditorHostContext {
    // The window's layout (known before any block takes clicks) and its lock, set while
    // a panel is open.
    const bool& remoteLayout;
    bool& locked;
    EeBlock& image;
    // The image changed through an editor, a switch or a panel that wrote while open:
    // the window settles and shows it.
    std::function<void()> imageEdited;
    // Scales a rectangle of design pixels to the screen.
    std::function<QRect(const QRect&)> scaled;
    // Tells the user what an OK had to repair.
    std::function<void(const QString&)> showMessage;
    // The blocks of the main panel, in design pixels: dimmed while a panel is open.
    QRect blocksArea;
};

class EditorHost final : public QObject {
    Q_OBJECT
public:
    explicit EditorHost(EditorHostContext context, QObject* parent = nullptr);

    // How the editor of a block is made, the first time the user opens it: a user opens
    // one panel at a time, so none is built at start-up. The editor is a child of its
    // own parent widget.
    using EditorFactory = std::function<Editor*()>;
    void add(FunctionBlock block, EditorFactory make);
    // The block's editor if it was opened before; nullptr otherwise.
    Editor* builtEditor(FunctionBlock block) const;
    // A click on a block of the main panel (the panel lets clicks through only while
    // the window is unlocked).
    void blockClicked(BlockClick click);
    // An editor panel is open: its changes are not in the image yet.
    bool editing() const { return open_ != nullptr; }

private:
    struct Entry {
        FunctionBlock block;
        EditorFactory make;
        Editor* built = nullptr;
    };

    // The block's editor, built now if it never was; nullptr for a block without one.
    Editor* editorOf(FunctionBlock block);
    void take(Editor& editor);
    void openEditor(Editor& editor);
    void okClicked();
    void cancelClicked();
    void close();

    EditorHostContext context_;
    std::vector<Entry> editors_;
    Editor* open_ = nullptr;
    // Over the blocks while a panel is open: they look as locked as they are.
    QWidget* shade_ = nullptr;
};

} // namespace ormid
