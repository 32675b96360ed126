#pragma once
// The report's project panel `pPdfProjectName` ("Project"): the project's name, luminaire
// and driver that the report's first lines print, and whether a page with the light
// profile follows. A card over the blocks like the
// editors' panels; the fields keep their text from one report to the next.

#include <QRect>

#include <string>

#include "core/night_profile.h"
#include "editors/card.h"
#include "files/report_model.h"

class QCheckBox;
class QLineEdit;

namespace ormid {

class ProjectPanel final : public Card {
    Q_OBJECT
public:
    explicit ProjectPanel(QWidget* parent);

    // Where the panel sits over the main panel, in design pixels (96 dpi): above "PDF".
    static constexpr QRect kDesignGeometry{196, 252, 420, 196};

    // Shows the panel with the focus on "Name"; the profile box names the night it adds.
    void showForInput(const ProfileRequest& profile);
    // The fields as the report takes them, dated `date`.
    ReportProject project(std::string date) const;
    // The profile box is ticked.
    bool withProfile() const;

private:
    QLineEdit* eProjectName_ = nullptr;
    QLineEdit* eLuminaire_ = nullptr;
    QLineEdit* eDriver_ = nullptr;
    QCheckBox* cbProfile_ = nullptr;
};

} // namespace ormid
