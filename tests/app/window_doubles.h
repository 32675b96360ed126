#pragma once
// Stand-ins for what the window reaches outside itself, shared by the window tests:
// the self-restart, the blocking waits and the modal dialogs; and the lookup of a
// window element by its name. window_fixture.h puts them together around a window.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/process_control.h"
#include "app/user_dialogs.h"
#include "sim/virtual_clock.h"

namespace ormid::test {

// The element of `window` with that object name; a test failure when there is none.
template <typename T = QWidget>
T* element(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// The user clicks the element with the mouse: press and release on its centre, the
// way a real pointer does (QAbstractButton::click() would skip the mouse path).
inline void press(const QWidget& window, const char* name)
{
    QWidget* target = element(window, name);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(target->isVisible()) << name << " is not on screen";
    ASSERT_TRUE(target->isEnabled()) << name << " is disabled";
    QTest::mouseClick(target, Qt::LeftButton);
}

// The user clicks into the line edit, selects what it holds and types `text` over it.
inline void typeInto(const QWidget& window, const char* name, const QString& text)
{
    QWidget* field = element(window, name);
    ASSERT_NE(field, nullptr);
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

class RecordingProcess final : public ProcessControl {
public:
    void releaseInstance() override { calls.push_back("release"); }
    bool startInstance(const QStringList& arguments) override
    {
        calls.push_back("start");
        startedWith = arguments;
        return startSucceeds;
    }
    void quit() override { calls.push_back("quit"); }

    std::vector<std::string> calls;
    QStringList startedWith;
    bool startSucceeds = true;
};

// Sleeps on the virtual clock (sim::VirtualWaiter) and then lets the window's events
// run, as the program's waiter does in real time; `onSleep` looks at the window
// during the waits.
class WindowWaiter final : public sim::VirtualWaiter {
public:
    using sim::VirtualWaiter::VirtualWaiter;

    void sleep(std::chrono::milliseconds duration) override
    {
        sim::VirtualWaiter::sleep(duration);
        QCoreApplication::processEvents();
        if (onSleep)
            onSleep();
    }

    std::function<void()> onSleep;
};

// Answers from a script and keeps every text the window showed.
class ScriptedDialogs final : public UserDialogs {
public:
    struct FileDialog {
        QString title;
        QString filter;
        QString suffix;
    };

    void showMessage(const QString& text, Kind kind) override
    {
        messages.push_back(text);
        messageKinds.push_back(kind);
        if (onMessage)
            onMessage(text);
    }
    Answer askYesNo(const QString& text) override { return ask(text, answers, Answer::dismissed); }
    Answer askWarningAt(const QString& text, QPoint windowPosition) override
    {
        warningPositions.push_back(windowPosition);
        return askYesNo(text);
    }
    SaveChoice askSaveOrDiscard(const QString& text) override
    {
        return ask(text, saveChoices, SaveChoice::keepEditing);
    }
    void beep() override { ++beeps; }
    std::optional<QString> openFileName(const QString& title, const QString& filter) override
    {
        fileDialogs.push_back({title, filter, {}});
        return fileName;
    }
    std::optional<QString> saveFileName(const QString& title, const QString& filter, const QString& suffix) override
    {
        fileDialogs.push_back({title, filter, suffix});
        return fileName;
    }

    std::vector<QString> messages;
    std::vector<Kind> messageKinds;
    std::function<void(const QString&)> onMessage; // looks at the window while a message is up
    std::function<void()> onQuestion;              // acts while a question is up
    std::vector<QString> questions;
    std::vector<QPoint> warningPositions;
    std::deque<Answer> answers;
    std::deque<SaveChoice> saveChoices;
    int beeps = 0;
    std::vector<FileDialog> fileDialogs;
    std::optional<QString> fileName;

private:
    // Keeps the question and takes the next scripted reply; `closed` when none is left.
    template <typename Reply>
    Reply ask(const QString& text, std::deque<Reply>& replies, Reply closed)
    {
        questions.push_back(text);
        if (onQuestion)
            onQuestion();
        if (replies.empty())
            return closed;
        const Reply reply = replies.front();
        replies.pop_front();
        return reply;
    }
};

} // namespace ormid::test
