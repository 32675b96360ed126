#include "editors/output/curve_chart.h"

#include <QPainter>

#include "editors/output/chart_background.h"

namespace ormid {

namespace {

const QColor kMessage(0xFF, 0x00, 0x00);
constexpr int kMessageAt = 100;

const ChartAxes& curveAxes()
{
    static const ChartAxes axes = [] {
        ChartAxes made{{}, QStringLiteral("Input %"), QStringLiteral("Output %")};
        for (int percent = 0; percent <= 100; percent += 10)
            made.xCaptions.push_back(QString::number(percent));
        return made;
    }();
    return axes;
}

} // namespace

CurveChart::CurveChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("iDimmingCurve"));
    setMinimumSize(kChartSize / 2, kChartSize / 2);
}

const QImage& CurveChart::picture()
{
    return canvas();
}

QImage& CurveChart::canvas()
{
    if (picture_.isNull())
        wipe();
    return picture_;
}

void CurveChart::wipe()
{
    picture_ = QImage(kChartSize, kChartSize, QImage::Format_RGB32);
    QPainter painter(&picture_);
    paintChartBackground(painter, curveAxes());
    update();
}

void CurveChart::drawCurve(const std::vector<ChartPoint>& points)
{
    QPainter painter(&canvas());
    paintChartLine(painter, points);
    update();
}

void CurveChart::writeMessage(const QString& message, const QString& detail)
{
    QPainter painter(&canvas());
    QFont font = painter.font();
    font.setPixelSize(kChartTextSize);
    painter.setFont(font);
    painter.setPen(kMessage);
    const int lineHeight = painter.fontMetrics().height();
    painter.drawText(QPoint(kMessageAt, kMessageAt + painter.fontMetrics().ascent()), message);
    if (!detail.isEmpty())
        painter.drawText(QRect(kMessageAt, kMessageAt + lineHeight + 4, kChartSize - kMessageAt - 20, 4 * lineHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, detail);
    update();
}

QSize CurveChart::sizeHint() const
{
    return {kChartSize, kChartSize};
}

void CurveChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // Square and centred in whatever room the panel gives it.
    const int side = std::min(width(), height());
    const QRect target((width() - side) / 2, (height() - side) / 2, side, side);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, canvas());
}

} // namespace ormid
