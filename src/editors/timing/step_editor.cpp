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
constexpr ClickField* StepRowControls::*kFieldOfKind[] = {
    nullptr,                 // no kind 0
    &StepRowControls::level, // kindLevel
    &StepRowControls::when,  // kindDelay
    &StepRowControls::fade,  // kindFade
    &StepRowControls::when,  // kindTimeOfDay
    &StepRowControls::fade,  // kindFadeRate
    &StepRowControls::level, // kindLevel5
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
    connect(&slider(), &QSlider::valueChanged, this, &StepEditor::writeSliderValue);
    // Only the user's pick: refilling the selector and placing it as a field opens do not count.
    connect(selector_, &QComboBox::activated, this, &StepEditor::switchRange);
}

ClickField* StepEditor::fieldOf(const StepRowControls& controls, StepKind kind) const
{
    return controls.*kFieldOfKind[kind];
}

bool StepEditor::editField(int tag)
{
    const int row = tagRow(tag);
    const StepKind kind = tagKind(tag);
    const StepRowControls controls = rows_.controls(row);
    ClickField* field = fieldOf(controls, kind);
    const std::string text = field->text().toStdString();
    const std::string previousTime = kind == kindTimeOfDay && row > rows_.first
        ? rows_.controls(row - 1).when->text().toStdString()
        : std::string();
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
    // writeSliderValue, so a value off the slider's grid or range is rewritten here.
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

void StepEditor::writeSliderValue(int position)
{
    const int row = tagRow(tag_);
    const StepKind kind = tagKind(tag_);
    if (row < rows_.first || row > rows_.last || kind < kindLevel || kind > kindLevel5)
        return; // no field was opened yet
    const StepRowControls controls = rows_.controls(row);
    if (const auto text = sliderText(kind, position, selector_->currentIndex()))
        fieldOf(controls, kind)->setText(QString::fromStdString(*text));
    if (relayFollows(rows_.relay, kind))
        (position == 0 ? controls.relayOff : controls.relayOn)->setChecked(true);
    emit fieldChanged();
}

void StepEditor::switchRange(int index)
{
    const StepKind kind = tagKind(tag_);
    if (!isDuration(kind))
        return;
    ClickField* field = fieldOf(rows_.controls(tagRow(tag_)), kind);
    const RangeChange change = changeRange(kind, field->text().toStdString(), index);
    field->setText(QString::fromStdString(change.text));
    slider().setValue(change.position);
}

} // namespace ormid
