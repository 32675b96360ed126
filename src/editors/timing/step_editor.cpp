#include "editors/timing/step_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>

#include "editors/card.h"
#include "editors/click_field.h"

namespace ormid {

namespace {

// The field each kind edits.
constexpr ClickField* TBox::*kFieldOfKind[] = {
    nullptr,       // no kind 0
    &TBox::_level, // kindLevel
    &TBox::_delay, // kindDelay
    &TBox::_fade,  // kindFade
    &TBox::_delay, // kindTimeOfDay
    &TBox::_fade,  // kindFadeRate
    &TBox::_level, // kindLevel5
};

bool isDuration(StepKind kind)
{
    return kind == kindDelay || kind == kindFade;
}

bool relayFollows(RelayFollowsLevel relay, StepKind kind)
{
    return (kind == kindLevel && relay == RelayFollowsLevel::anyLevel)
        || (kind == kindLevel5 && relay != RelayFollowsLevel::never);
}

} // namespace

StepEditor::StepEditor(Names names, Rows rows, QWidget* parent)
    : SliderStrip(names.strip, names.slider, parent), rows_(std::move(rows))
{
    selector_ = &addSelector(names.selector);
    selector_->setMinimumContentsLength(11);
    // The strip keeps its height and the slider its length whether the selector is up or not.
    keepPlaceWhenHidden(*selector_);
    connect(&slider(), &QSlider::valueChanged, this, &StepEditor::sliderChange);
    // Only the user's pick: the refill and initSlider place the selector without it.
    connect(selector_, &QComboBox::activated, this, &StepEditor::comboChange);
}

ClickField* StepEditor::fieldOf(const TBox& box, StepKind kind) const
{
    return box.*kFieldOfKind[kind];
}

bool StepEditor::clickEdit(int tag)
{
    const int row = tagRow(tag);
    const StepKind kind = tagKind(tag);
    const TBox box = rows_.box(row);
    ClickField* field = fieldOf(box, kind);
    const std::string text = field->text().toStdString();
    const std::string previousTime
        = kind == kindTimeOfDay && row > rows_.first ? rows_.box(row - 1)._delay->text().toStdString() : std::string();
    const auto setup = openSlider({kind, text, minLevel_, previousTime});
    if (!setup)
        return false;
    tag_ = tag;

    if (isDuration(kind)) {
        selector_->clear();
        for (const std::string_view item : rangeTexts(kind))
            selector_->addItem(QString::fromLatin1(item.data(), static_cast<qsizetype>(item.size())));
        selector_->setCurrentIndex(-1); // no item while the slider takes its range
    }
    selector_->setVisible(isDuration(kind));
    // Range and position clamp; each change of position rewrites the field through
    // sliderChange, so a value off the slider's grid or range is rewritten here.
    slider().setRange(setup->minimum, setup->maximum);
    if (setup->rangeIndex)
        selector_->setCurrentIndex(*setup->rangeIndex);
    slider().setValue(setup->position);
    if (kind == kindLevel && !levelOf(text) && rows_.takeIntoUse)
        rows_.takeIntoUse(row);
    attach(*field);
    return true;
}

void StepEditor::closeStrip()
{
    detach();
}

void StepEditor::sliderChange(int position)
{
    const int row = tagRow(tag_);
    const StepKind kind = tagKind(tag_);
    if (row < rows_.first || row > rows_.last || kind < kindLevel || kind > kindLevel5)
        return; // no field was opened yet
    const TBox box = rows_.box(row);
    if (const auto text = sliderText(kind, position, selector_->currentIndex()))
        fieldOf(box, kind)->setText(QString::fromStdString(*text));
    if (relayFollows(rows_.relay, kind))
        (position == 0 ? box._off : box._on)->setChecked(true);
    emit fieldChanged();
}

void StepEditor::comboChange(int index)
{
    const StepKind kind = tagKind(tag_);
    if (!isDuration(kind))
        return;
    ClickField* field = fieldOf(rows_.box(tagRow(tag_)), kind);
    const RangeChange change = changeRange(kind, field->text().toStdString(), index);
    field->setText(QString::fromStdString(change.text));
    slider().setValue(change.position);
}

} // namespace ormid
