// advanced_options_dialog.h - "Advanced Options": the register's upkeep in
// one dialog of its own.  Its buttons run the window's Maintenance: Export
// Database, Empty Database, Import Records, ReIndex Database, and the notes
// file ReadMe.txt.  It is modeless and opens once at a time: asked for
// again, the one open is raised (shown_advanced_options).  Escape and the
// close box close it.
#ifndef LEDGROVE_APP_UI_ADVANCED_OPTIONS_DIALOG_H
#define LEDGROVE_APP_UI_ADVANCED_OPTIONS_DIALOG_H

#include <QDialog>

#include "app/ui/dialog_template.h"

namespace ledgrove::ui {

class Maintenance;

class AdvancedOptionsDialog : public QDialog {
    Q_OBJECT

public:
    AdvancedOptionsDialog(Maintenance &maintenance, QWidget *owner = nullptr);

    QWidget *control(int id) const { return controls_.find(id); }
    void command(int id);

private:
    Maintenance &maintenance_;
    TemplateControls controls_;
};

// The Advanced Options dialog owned by `owner` that is showing, if any.
AdvancedOptionsDialog *shown_advanced_options(QWidget *owner);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_ADVANCED_OPTIONS_DIALOG_H
