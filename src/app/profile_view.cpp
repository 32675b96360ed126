#include "app/profile_view.h"

#include <QDate>

#include "app/main_panel.h"
#include "app/profile_panel.h"
#include "files/profile_chart.h"

namespace ormid {

ProfileView::ProfileView(ProfileViewContext context, QObject* parent) : QObject(parent), context_(context)
{
}

ProfilePanel& ProfileView::panel()
{
    if (panel_ == nullptr) {
        panel_ = new ProfilePanel(&context_.panel);
        panel_->setGeometry(context_.panel.scaled(ProfilePanel::kDesignGeometry));
        connect(panel_, &ProfilePanel::requestChanged, this, [this] {
            context_.request = panel_->request();
            drawProfile();
        });
        connect(panel_, &ProfilePanel::cancelClicked, this, &ProfileView::close);
    }
    return *panel_;
}

void ProfileView::open()
{
    if (context_.run.formDisabled)
        return;
    context_.run.formDisabled = true;
    panel().showRequest(context_.request);
    drawProfile();
    panel_->show();
    panel_->raise();
}

void ProfileView::close()
{
    if (panel_ == nullptr || !panel_->isVisible())
        return;
    panel_->hide();
    context_.run.formDisabled = false;
}

void ProfileView::drawProfile()
{
    const ProfileRequest& request = context_.request;
    const auto night = nightProfile(context_.eeBlock, request);
    if (!night)
        return; // the date field starts with the sun series
    panel_->showChart(makeProfileChart(*night, request, yearEnergy(context_.eeBlock, request)));
}

ProfileRequest tonightAtTheCalculatorsSite()
{
    const QDate today = QDate::currentDate();
    return {.date = {today.day(), today.month(), today.year()}};
}

} // namespace ormid
