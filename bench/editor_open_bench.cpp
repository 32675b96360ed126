// Editor-open benchmark: how long a click on a block takes until its editor panel is on
// screen and painted, the first time (the panel is built then) and again, for every
// editor of the standard layout; and how many widgets the window holds before any panel
// was opened and after all were.
//
//   ormid-editor-open-bench [RUNS]     (default 10 windows; headless, demo mode)
//
// Each run starts the programmer's window in process in demo mode (no stick), clicks each
// block with a real mouse event, renders the panel (QWidget::grab, as a frame would),
// and closes it with its Cancel button. The figures are medians over the runs; one frame
// at 60 Hz is 16.7 ms.
//
// It measures and prints; it never judges the figures.

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/event_loop_waiter.h"
#include "app/main_window.h"
#include "app/process_control.h"
#include "bench_support.h"
#include "editors/editor.h"
#include "link/hid_transport.h"

namespace {

using bench::Clock;
using bench::median;
using bench::millisecondsSince;

// No stick at the port: the window starts in demo mode.
class NoStick final : public ormid::HidTransport {
public:
    bool findHidDevice(std::uint16_t, std::uint16_t) override { return false; }
    ormid::Byte getInputReportLength() const override { return 0; }
    ormid::Byte getOutputReportLength() const override { return 0; }
    ormid::Byte getFeatureReportLength() const override { return 0; }
    void writeData(ormid::ByteSpan) override {}
    std::optional<ormid::Report> readData() override { return std::nullopt; }
};

// The window never restarts here: no stick comes or goes.
class NoRestart final : public ormid::ProcessControl {
public:
    void releaseInstance() override {}
    bool startInstance(const QStringList&) override { return false; }
    void quit() override {}
};

// What opens each panel in the default image (a picture, or the switch of a function
// that is off), the panel, and its Cancel button.
struct Panel {
    const char* name;
    const char* click;
    const char* cancel;
};

constexpr Panel kPanels[] = {
    {"Power On", "iTDpc_en", "bDPC_Cancel"},
    {"Block Timer", "sw_block_open", "bTBlockCancel"},
    {"MFF / BBT", "sw_mff_off", "bMFFCancel"},
    {"Thermal Mgmt.", "sw_tm_off", "bTMCancel"},
    {"ISD", "iISD_en", "bISDCancel"},
    {"Dimming Engine 1", "iISD1_en", "bDimmer1_Cancel"},
    {"Control Output", "iTen", "bOutput_Cancel"},
    {"Relay", "iRelay", "bRelay_Cancel"},
    {"Dimming Engine 2", "iISD2_en", "bDimmer2Cancel"},
    {"Hold Timer", "sw_hold_off", "bTHoldCancel"},
};

QWidget* named(QWidget& window, const char* name)
{
    return window.findChild<QWidget*>(QString::fromLatin1(name));
}

ormid::Editor* openEditor(QWidget& window)
{
    for (ormid::Editor* editor : window.findChildren<ormid::Editor*>()) {
        if (editor->isVisible())
            return editor;
    }
    return nullptr;
}

// Click to panel rendered, in milliseconds; nullopt when the panel did not open.
std::optional<double> openOnce(QWidget& window, const Panel& panel)
{
    QWidget* target = named(window, panel.click);
    if (target == nullptr || !target->isVisible())
        return std::nullopt;
    const Clock::time_point start = Clock::now();
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
    QWidget* opened = openEditor(window);
    if (opened == nullptr)
        return std::nullopt;
    opened->grab();
    const double elapsed = millisecondsSince(start);
    if (auto* cancel = qobject_cast<QPushButton*>(named(window, panel.cancel)))
        QTest::mouseClick(cancel, Qt::LeftButton);
    QApplication::processEvents();
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::map<std::string, std::vector<double>> first;
    std::map<std::string, std::vector<double>> again;
    std::vector<double> widgetsBefore;
    std::vector<double> widgetsAfter;
    for (int run = 0; run < runs; ++run) {
        ormid::EventLoopWaiter waiter;
        NoRestart process;
        ormid::MainWindow window(std::make_unique<NoStick>(), {}, waiter, process);
        window.show();
        while (!window.startUpFinished())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        widgetsBefore.push_back(static_cast<double>(window.findChildren<QWidget*>().size()));
        for (const Panel& panel : kPanels) {
            for (auto* times : {&first, &again}) {
                if (const std::optional<double> ms = openOnce(window, panel))
                    (*times)[panel.name].push_back(*ms);
                else
                    std::fprintf(stderr, "%s did not open from %s\n", panel.name, panel.click);
            }
        }
        widgetsAfter.push_back(static_cast<double>(window.findChildren<QWidget*>().size()));
    }

    std::printf("Editor panels, click to panel painted (median of %d windows, ms):\n", runs);
    std::printf("  %-18s %10s %10s\n", "panel", "first", "again");
    for (const Panel& panel : kPanels)
        std::printf("  %-18s %10.2f %10.2f\n", panel.name, median(first[panel.name]), median(again[panel.name]));
    std::printf("Widgets in the window: %.0f before any panel was opened, %.0f after all were\n", median(widgetsBefore),
                median(widgetsAfter));
    return 0;
}
