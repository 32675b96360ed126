#pragma once
// A read-only value field that reacts to a click: the editors' values change only
// through the slider strip that a click on the field brings up.

#include <QLineEdit>

namespace ormid {

class ClickField : public QLineEdit {
    Q_OBJECT
public:
    explicit ClickField(QWidget* parent = nullptr);
    // Named as the panel's element, `width` pixels wide.
    ClickField(const QString& name, int width, QWidget* parent);

    // Teal text while the slider strip edits this field, the normal colour otherwise.
    void setHighlighted(bool highlighted);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace ormid
