#include "editors/card.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace ormid {

namespace {
const QColor kCard(0xFF, 0xFF, 0xFF);
const QColor kFrame(0x8F, 0xA3, 0xB3);
const QColor kBand(0x2F, 0x5F, 0x7A);
constexpr qreal kRadius = 6;
} // namespace

void keepPlaceWhenHidden(QWidget& widget)
{
    QSizePolicy policy = widget.sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget.setSizePolicy(policy);
}

int Card::captionBand() const
{
    return fontMetrics().height() + 8;
}

void Card::setCardLayout(QLayout& layout)
{
    constexpr int kMargin = 10;
    layout.setContentsMargins(kMargin, captionBand() + kMargin, kMargin, kMargin);
}

QPushButton* Card::helpButton(const char* name)
{
    auto* help = new QPushButton(QStringLiteral("?"), this);
    help->setObjectName(QString::fromLatin1(name));
    help->setFixedWidth(help->sizeHint().height() + 8);
    return help;
}

QLayout* Card::okCancelRow(const char* okName, const char* cancelName, QPushButton* help)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QString::fromLatin1(okName));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QString::fromLatin1(cancelName));
    connect(ok, &QPushButton::clicked, this, &Card::okClicked);
    connect(cancel, &QPushButton::clicked, this, &Card::cancelClicked);
    auto* row = new QHBoxLayout;
    if (help != nullptr)
        row->addWidget(help);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

void Card::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(kFrame, 1));
    painter.setBrush(kCard);
    painter.drawRoundedRect(card, kRadius, kRadius);

    const int bandHeight = captionBand();
    QPainterPath band;
    band.addRoundedRect(QRectF(card.left(), card.top(), card.width(), bandHeight + kRadius), kRadius, kRadius);
    QPainterPath below;
    below.addRect(QRectF(card.left(), card.top() + bandHeight, card.width(), kRadius));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBand);
    painter.drawPath(band.subtracted(below));

    QFont caption = font();
    caption.setBold(true);
    painter.setFont(caption);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(card.left() + 10, card.top(), card.width() - 20, bandHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, title());
}

} // namespace ormid
