// The yardstick for the start-up benchmark: a Qt Widgets program that only shows an
// empty window, or with --text a window with one line of text (which loads the fonts,
// as every window with text must). Once the window is shown and the event loop has turned, it writes
// "pid minimal" to ORMID_STATUS_FILE (if set) the way the programmer reports its
// start-up, then runs until it is ended.

#include <QApplication>
#include <QLabel>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

void writeStatusFile(const QString& path)
{
    QSaveFile file(path); // a temporary file renamed over `path`, as the programmer does
    const QByteArray line = QByteArray::number(QCoreApplication::applicationPid()) + " minimal\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(line) != line.size() || !file.commit())
        std::fprintf(stderr, "minimal-window: cannot write %s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool withText = argc > 1 && QByteArray(argv[1]) == "--text";
    QLabel text(QStringLiteral("Ormid Programmer"));
    QWidget empty;
    QWidget& window = withText ? static_cast<QWidget&>(text) : empty;
    window.show();
    if (const QString statusFile = qEnvironmentVariable("ORMID_STATUS_FILE"); !statusFile.isEmpty())
        QTimer::singleShot(0, &window, [statusFile] { writeStatusFile(statusFile); });
    return app.exec();
}
