// about_dialog.h - "About Ledgrove": what the program is for, and the
// "Donate!" button that opens the donation page, as often as it is pressed.
// "OK" and Enter close it, and so do Escape and the close box.
#ifndef LEDGROVE_APP_UI_ABOUT_DIALOG_H
#define LEDGROVE_APP_UI_ABOUT_DIALOG_H

#include <QDialog>

#include "app/ui/dialog_template.h"

namespace ledgrove::ui {

inline constexpr const char *kDonationAddress = "https://ledgrove.org/donate";

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *owner = nullptr);
    QWidget *control(int id) const { return controls_.find(id); }

private:
    TemplateControls controls_;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_ABOUT_DIALOG_H
