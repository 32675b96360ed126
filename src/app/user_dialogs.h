#pragma once
// The modal questions, messages, beeps and file dialogs of the window, behind one
// interface: the program shows real message boxes and file dialogs, tests script
// the answers and read back every text that was shown.

#include <optional>

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace ormid {

class UserDialogs {
public:
    enum class Answer { yes, no, dismissed };
    // The icon of a message: errors carry the warning or the critical one.
    enum class Kind { information, warning, critical };
    // What to do with changes that are kept nowhere else.
    enum class SaveChoice { save, discard, keepEditing };

    virtual ~UserDialogs() = default;
    virtual void showMessage(const QString& text, Kind kind = Kind::information) = 0;
    // A question with the buttons Yes and No; `dismissed` when closed another way.
    virtual Answer askYesNo(const QString& text) = 0;
    // A warning with Yes and No, placed at a position counted from the window's top left.
    virtual Answer askWarningAt(const QString& text, QPoint windowPosition) = 0;
    // A question with the buttons "Save…", "Discard" and "Cancel"; `keepEditing` for
    // Cancel and when closed another way.
    virtual SaveChoice askSaveOrDiscard(const QString& text) = 0;
    virtual void beep() = 0;
    // An existing file to open; nullopt when the dialog was cancelled.
    virtual std::optional<QString> openFileName(const QString& title, const QString& filter) = 0;
    // A file to write; nullopt when the dialog was cancelled.
    virtual std::optional<QString> saveFileName(const QString& title, const QString& filter,
                                                const QString& defaultSuffix)
        = 0;
};

// Where a box of `size` goes that is asked for at `position` from the top left of
// `window`: there, but moved back inside the window where it would reach past its edge
// (to its top left when it is larger), and then onto the screen in the same way.
QPoint placeInWindow(QPoint position, QSize size, const QRect& window, const QRect& screen);

// QMessageBox, QFileDialog and QApplication::beep over the given window.
class SystemUserDialogs final : public UserDialogs {
public:
    // `parent` must outlive this object.
    explicit SystemUserDialogs(QWidget& parent) : parent_(parent) {}

    // The title of every message box and question.
    static inline const QString kTitle = QStringLiteral("Ormid Programmer");

    void showMessage(const QString& text, Kind kind = Kind::information) override;
    Answer askYesNo(const QString& text) override;
    Answer askWarningAt(const QString& text, QPoint windowPosition) override;
    SaveChoice askSaveOrDiscard(const QString& text) override;
    void beep() override;
    std::optional<QString> openFileName(const QString& title, const QString& filter) override;
    std::optional<QString> saveFileName(const QString& title, const QString& filter,
                                        const QString& defaultSuffix) override;

private:
    QWidget& parent_;
};

// The busy cursor for as long as the stick keeps the user waiting. Tolerates a
// cursor that was already restored meanwhile (hiding the action buttons does so).
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace ormid
