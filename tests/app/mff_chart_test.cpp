// The MFF help chart drawn on its own.

#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QPainter>

#include <optional>

#include "app/qt_app.h"
#include "core/mff_block.h"
#include "editors/output/mff_chart.h"

namespace ormid {
namespace {

TEST(MffChart, WithoutALifetimeTheChartAsksForOne)
{
    // The chart without a lifetime against one whose line runs along the top, with the
    // text written over it where the chart asks for the lifetime.
    test::qtApp();
    QImage chart(kChartSize, kChartSize, QImage::Format_RGB32);
    {
        QPainter painter(&chart);
        paintMffChart(painter, std::nullopt);
    }
    QImage expected(kChartSize, kChartSize, QImage::Format_RGB32);
    {
        QPainter painter(&expected);
        paintMffChart(painter, mffChartPoints(MffFields{{"500", "100", "0", "100", "100", "100", "100"}}));
        QFont font = painter.font();
        font.setPointSize(12);
        painter.setFont(font);
        painter.setPen(Qt::red);
        painter.drawText(QRect(240, 240, 260, 260), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Lifetime?"));
    }
    const QRect text(240, 240, 120, 30);
    EXPECT_EQ(chart.copy(text), expected.copy(text));
}

} // namespace
} // namespace ormid
