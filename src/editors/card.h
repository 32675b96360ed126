#pragma once
// A panel over the main panel's blocks: a white framed card with its caption on a band
// across the top, fields below the band and an OK/Cancel row. The editors and the
// report's project panel look alike through it.

#include <QGroupBox>

class QLayout;
class QPushButton;

namespace ormid {

// Keeps a widget's place in its layout while it is hidden, so that what is around it
// stays put when it comes and goes.
void keepPlaceWhenHidden(QWidget& widget);

class Card : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

signals:
    void okClicked();
    void cancelClicked();

protected:
    // The height of the caption band, and the margins that keep the fields below it.
    int captionBand() const;
    void setCardLayout(QLayout& layout);
    // A "?" button, named as given, for the OK/Cancel row.
    QPushButton* helpButton(const char* name);
    // OK and Cancel at the right, named as given; they report okClicked and cancelClicked.
    // A help button, when given, sits at the left.
    QLayout* okCancelRow(const char* okName, const char* cancelName, QPushButton* help = nullptr);
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ormid
