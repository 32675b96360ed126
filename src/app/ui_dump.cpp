#include "app/ui_dump.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSocketNotifier>
#include <QTextEdit>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include <sys/socket.h>
#include <unistd.h>

#include "app/main_window.h"
#include "files/atomic_file.h"

namespace ormid {

namespace {

using TextReader = std::optional<QString> (*)(const QWidget&);

template <typename T, QString (T::*read)() const>
std::optional<QString> readText(const QWidget& widget)
{
    if (const auto* typed = qobject_cast<const T*>(&widget))
        return (typed->*read)();
    return std::nullopt;
}

// The first reader that knows the widget gives its text: a message box shows its
// message rather than its title. Other windows fall back to their title.
constexpr TextReader kTextReaders[] = {
    readText<QMessageBox, &QMessageBox::text>,
    readText<QAbstractButton, &QAbstractButton::text>,
    readText<QLabel, &QLabel::text>,
    readText<QLineEdit, &QLineEdit::text>,
    readText<QPlainTextEdit, &QPlainTextEdit::toPlainText>,
    readText<QTextEdit, &QTextEdit::toPlainText>,
};

std::optional<QString> textOf(const QWidget& widget)
{
    for (const TextReader read : kTextReaders) {
        if (std::optional<QString> text = read(widget))
            return text;
    }
    if (widget.isWindow())
        return widget.windowTitle();
    return std::nullopt;
}

template <typename T>
bool addRange(const QWidget& widget, QJsonObject& entry)
{
    const auto* typed = qobject_cast<const T*>(&widget);
    if (typed == nullptr)
        return false;
    entry.insert(QStringLiteral("value"), typed->value());
    entry.insert(QStringLiteral("minimum"), typed->minimum());
    entry.insert(QStringLiteral("maximum"), typed->maximum());
    return true;
}

void addItems(const QWidget& widget, QJsonObject& entry)
{
    QStringList texts;
    int index = -1;
    if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        for (int i = 0; i < combo->count(); ++i)
            texts.append(combo->itemText(i));
        index = combo->currentIndex();
    } else if (const auto* list = qobject_cast<const QListWidget*>(&widget)) {
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->item(i)->text());
        index = list->currentRow();
    } else {
        return;
    }
    entry.insert(QStringLiteral("items"), QJsonArray::fromStringList(texts));
    entry.insert(QStringLiteral("index"), index);
}

// isVisible() already asks every ancestor; a minimized window shows nothing either.
bool onScreen(const QWidget& widget)
{
    return widget.isVisible() && !widget.window()->isMinimized();
}

QJsonObject widgetEntry(const QWidget& widget)
{
    const QPoint origin = widget.mapToGlobal(QPoint(0, 0));
    QJsonObject entry{
        {QStringLiteral("name"), widget.objectName()},
        {QStringLiteral("class"), QString::fromLatin1(widget.metaObject()->className())},
        {QStringLiteral("visible"), onScreen(widget)},
        {QStringLiteral("enabled"), widget.isEnabled()},
        {QStringLiteral("x"), origin.x()},
        {QStringLiteral("y"), origin.y()},
        {QStringLiteral("width"), widget.width()},
        {QStringLiteral("height"), widget.height()},
    };
    if (const std::optional<QString> text = textOf(widget))
        entry.insert(QStringLiteral("text"), *text);
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget); button != nullptr && button->isCheckable())
        entry.insert(QStringLiteral("checked"), button->isChecked());
    addRange<QAbstractSlider>(widget, entry) || addRange<QProgressBar>(widget, entry);
    addItems(widget, entry);
    return entry;
}

// The named widgets inside `parent`; windows among them are listed as windows.
void addNamedDescendants(const QWidget& parent, QJsonArray& widgets)
{
    for (const QObject* child : parent.children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget == nullptr || widget->isWindow())
            continue;
        if (!widget->objectName().isEmpty())
            widgets.append(widgetEntry(*widget));
        addNamedDescendants(*widget, widgets);
    }
}

void addWindow(const QWidget& window, bool listed, QJsonArray& widgets)
{
    if (listed)
        widgets.append(widgetEntry(window));
    addNamedDescendants(window, widgets);
}

// The write end of the living dumper's socket pair: all the signal handler touches.
std::atomic<int> wakeWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler must not take a lock");

void wakeOnSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full socket already holds a wake-up, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(wakeWriteEnd.load(), &byte, 1);
    errno = savedErrno;
}

} // namespace

QJsonDocument uiSnapshot(const MainWindow& window)
{
    QJsonArray widgets;
    addWindow(window, true, widgets);
    // A window off the screen is of no use to a script unless it is named; its named
    // widgets are listed all the same, marked as not visible.
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == &window)
            continue;
        addWindow(*other, onScreen(*other) || !other->objectName().isEmpty(), widgets);
    }
    const EeBlock& image = window.eeBlock();
    const QByteArray bytes(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
    return QJsonDocument(QJsonObject{
        {QStringLiteral("caption"), window.windowTitle()},
        {QStringLiteral("image"), QString::fromLatin1(bytes.toHex().toUpper())},
        {QStringLiteral("formDisabled"), window.runState().formDisabled},
        {QStringLiteral("widgets"), widgets},
    });
}

UiDumper::UiDumper(QString path, const MainWindow& window, QObject* parent)
    : QObject(parent), path_(std::move(path)), window_(window)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
        std::fprintf(stderr, "ormid-programmer: no window snapshots on SIGUSR1: %s\n", std::strerror(errno));
        return;
    }
    wakeRead_ = ends[0];
    wakeWrite_ = ends[1];
    wakeWriteEnd.store(wakeWrite_);
    notifier_ = new QSocketNotifier(wakeRead_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UiDumper::onSignalled);

    struct sigaction action {};
    action.sa_handler = wakeOnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &action, &previous_);
}

UiDumper::~UiDumper()
{
    if (wakeWrite_ < 0)
        return;
    ::sigaction(SIGUSR1, &previous_, nullptr);
    wakeWriteEnd.store(-1);
    delete notifier_;
    ::close(wakeRead_);
    ::close(wakeWrite_);
}

void UiDumper::dump() const
{
    const QByteArray json = uiSnapshot(window_).toJson(QJsonDocument::Indented);
    const std::string_view bytes(json.constData(), static_cast<std::size_t>(json.size()));
    if (const FileWriteResult written = writeFileAtomically(path_.toStdString(), bytes); !written.ok())
        std::fprintf(stderr, "ormid-programmer: cannot write %s: %s\n", qPrintable(path_), written.error.c_str());
}

void UiDumper::onSignalled()
{
    // Signals that came together make one snapshot.
    char wakeUps[64];
    while (::read(wakeRead_, wakeUps, sizeof wakeUps) > 0) {
    }
    dump();
}

} // namespace ormid
