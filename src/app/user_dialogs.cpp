#include "app/user_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace ormid {

namespace {

QMessageBox::Icon iconOf(UserDialogs::Kind kind)
{
    static constexpr QMessageBox::Icon kIcons[]
        = {QMessageBox::Information, QMessageBox::Warning, QMessageBox::Critical};
    return kIcons[static_cast<int>(kind)];
}

// `value` moved into low..high; to low when the range is empty.
int within(int value, int low, int high)
{
    return std::max(low, std::min(value, high));
}

QPoint within(QPoint point, QSize size, const QRect& area)
{
    return {within(point.x(), area.left(), area.right() + 1 - size.width()),
            within(point.y(), area.top(), area.bottom() + 1 - size.height())};
}

UserDialogs::Answer askWith(QMessageBox& box)
{
    box.setEscapeButton(QMessageBox::NoButton);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return UserDialogs::Answer::yes;
    case QMessageBox::No:
        return UserDialogs::Answer::no;
    default:
        return UserDialogs::Answer::dismissed;
    }
}

} // namespace

QPoint placeInWindow(QPoint position, QSize size, const QRect& window, const QRect& screen)
{
    return within(within(window.topLeft() + position, size, window), size, screen);
}

void SystemUserDialogs::showMessage(const QString& text, Kind kind)
{
    QMessageBox box(iconOf(kind), kTitle, text, QMessageBox::Ok, &parent_);
    box.exec();
}

UserDialogs::Answer SystemUserDialogs::askYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::Question, kTitle, text, QMessageBox::Yes | QMessageBox::No, &parent_);
    return askWith(box);
}

UserDialogs::Answer SystemUserDialogs::askWarningAt(const QString& text, QPoint windowPosition)
{
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Yes | QMessageBox::No, &parent_);
    const QScreen* screen = parent_.screen();
    box.move(placeInWindow(windowPosition, box.sizeHint(), parent_.frameGeometry(),
                           screen != nullptr ? screen->availableGeometry() : parent_.frameGeometry()));
    return askWith(box);
}

UserDialogs::SaveChoice SystemUserDialogs::askSaveOrDiscard(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::NoButton, &parent_);
    QPushButton* save = box.addButton(QStringLiteral("Save…"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save)
        return SaveChoice::save;
    if (box.clickedButton() == discard)
        return SaveChoice::discard;
    return SaveChoice::keepEditing;
}

void SystemUserDialogs::beep()
{
    QApplication::beep();
}

std::optional<QString> SystemUserDialogs::openFileName(const QString& title, const QString& filter)
{
    const QString name = QFileDialog::getOpenFileName(&parent_, title, QString(), filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> SystemUserDialogs::saveFileName(const QString& title, const QString& filter,
                                                       const QString& defaultSuffix)
{
    QFileDialog dialog(&parent_, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // An existing file is overwritten without a question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

BusyCursor::BusyCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    if (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace ormid
