#include "editors/click_field.h"

#include <QMouseEvent>
#include <QPalette>

namespace ormid {

namespace {
const QColor kHighlight(0x00, 0x80, 0x80); // teal
} // namespace

ClickField::ClickField(QWidget* parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setAlignment(Qt::AlignRight);
}

ClickField::ClickField(const QString& name, int width, QWidget* parent) : ClickField(parent)
{
    setObjectName(name);
    setFixedWidth(width);
}

void ClickField::setHighlighted(bool highlighted)
{
    if (!highlighted) {
        setPalette(QPalette()); // the inherited colours again
        return;
    }
    QPalette colours = palette();
    colours.setColor(QPalette::Text, kHighlight);
    setPalette(colours);
}

void ClickField::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

} // namespace ormid
