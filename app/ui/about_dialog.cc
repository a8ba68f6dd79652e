// about_dialog.cc - the About dialog's template.
#include "app/ui/about_dialog.h"

#include <QPushButton>
#include <QUrl>

#include "app/ui/control_ids.h"
#include "app/ui/user_prompts.h"

namespace ledgrove::ui {
namespace {

using K = ControlKind;
using namespace control::about;

constexpr DialogTemplate kAboutDialog = {"About Ledgrove", 295, 114};

constexpr ControlTemplate kAboutControls[] = {
    {K::Label, kNoId, "Ledgrove (Check Register Inquiry)", 7, 14, 108, 8},
    {K::Label, kNoId, "Free software for open government.", 7, 23, 112, 8},
    {K::Label, kNoId,
     "This program was written to help keep government accountable.  If you would like to use "
     "this program to keep an eye on YOUR government, let me know. I can make a version that "
     "uses data from your governmental entity. (municipal, county or otherwise)",
     7, 39, 281, 30},
    {K::Label, kNoId,
     "Please donate what you can to help me write more tools for citizen activists to help keep "
     "their government open and honest.  ",
     7, 71, 281, 19},
    {K::Button, kDonate, "Donate!", 7, 93, 50, 14},
    {K::DefaultButton, kOk, "OK", 238, 93, 50, 14},
};

}  // namespace

AboutDialog::AboutDialog(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("about"));
    controls_ = build_dialog(*this, kAboutDialog, kAboutControls);
    auto *donate = controls_.get<QPushButton>(kDonate);
    donate->setAutoDefault(false);
    connect(donate, &QPushButton::clicked, this,
            [] { prompts().open_url(QUrl(QString::fromLatin1(kDonationAddress))); });
    connect(controls_.get<QPushButton>(kOk), &QPushButton::clicked, this,
            [this] { done(1); });
}

}  // namespace ledgrove::ui
