#pragma once
// A panel over the main panel's blocks: a white framed card with its caption on a band
// across the top, fields below the band and an OK/Cancel row. The editors and the
// report's project panel look alike through it.

#include <QGroupBox>

class QLayout;

namespace ormid {

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
    // OK and Cancel at the right, named as given; they report okClicked and cancelClicked.
    QLayout* okCancelRow(const char* okName, const char* cancelName);
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ormid
