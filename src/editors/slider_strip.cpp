#include "editors/slider_strip.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include "editors/card.h"
#include "editors/click_field.h"

namespace ormid {

SliderStrip::SliderStrip(const char* name, const char* sliderName, QWidget* parent) : QFrame(parent)
{
    setObjectName(QString::fromLatin1(name));
    setFrameShape(QFrame::StyledPanel);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QString::fromLatin1(sliderName));
    row_ = new QHBoxLayout(this);
    row_->addWidget(slider_, 1);
    keepPlaceWhenHidden(*this);
    hide();
}

void SliderStrip::addEndCaptions(const QString& low, const QString& high)
{
    row_->insertWidget(0, new QLabel(low, this));
    row_->addWidget(new QLabel(high, this));
}

QComboBox& SliderStrip::addSelector(const char* name)
{
    auto* selector = new QComboBox(this);
    selector->setObjectName(QString::fromLatin1(name));
    row_->addWidget(selector);
    return *selector;
}

void SliderStrip::attach(ClickField& field)
{
    if (attached_ != nullptr && attached_ != &field)
        attached_->setHighlighted(false);
    attached_ = &field;
    field.setHighlighted(true);
    show();
}

void SliderStrip::detach()
{
    hide();
    if (attached_ != nullptr)
        attached_->setHighlighted(false);
    attached_ = nullptr;
}

} // namespace ormid
