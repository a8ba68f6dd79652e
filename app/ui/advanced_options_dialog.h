// advanced_options_dialog.h - "Advanced Options": the one place where the
// register is maintained.  Export Database, Empty Database (after a Yes),
// Import Records, ReIndex Database, and the notes file ReadMe.txt.
//
// "Import Records" reads a register CSV file as it stands, and a register
// as public bodies publish it (a CSV file with a header) through the
// column mapping dialog.  An import that adds records asks for a restart:
// "Data Imported! " / "Exit and ReStart!", the indexes are rebuilt, and
// end_program() is emitted.  A cancelled file dialog does nothing; a file
// that cannot be read, or that holds no record, adds nothing and the
// program goes on.  "Empty Database" asks first, naming the number of
// checks, with No as the answer Enter gives; it keeps a copy of the checks
// beside the register and emits register_emptied(), so the results of
// earlier searches leave the screen.  On a read-only register import,
// empty and re-index say so and do nothing.
//
// The dialog is modal from the main window's menu and modeless from the
// search dialog's button; one is open at a time (shown_advanced_options).
#ifndef LEDGROVE_APP_UI_ADVANCED_OPTIONS_DIALOG_H
#define LEDGROVE_APP_UI_ADVANCED_OPTIONS_DIALOG_H

#include <QDialog>

#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/store/database_set.h"
#include "app/ui/dialog_template.h"

namespace ledgrove::ui {

// Refused lines listed in the message after an import, at most.
inline constexpr std::size_t kListedSkippedLines = 20;
inline constexpr const char *kImportCaption = "Import Records";
inline constexpr const char *kReIndexFailedCaption = "ReIndex Database";

class AdvancedOptionsDialog : public QDialog {
    Q_OBJECT

public:
    AdvancedOptionsDialog(DatabaseSet &set, QWidget *owner = nullptr);

    QWidget *control(int id) const { return controls_.find(id); }
    void command(int id);

signals:
    void end_program();
    void register_emptied();

protected:
    void reject() override;  // Escape and the close box

private:
    void export_database();
    void empty_database();
    void import_records();
    void reindex_database();
    void important_information();
    void rebuild_with_progress();
    bool refused_read_only();
    QWidget *owner() const;

    DatabaseSet &set_;
    TemplateControls controls_;
};

// The Advanced Options dialog owned by `owner` that is showing, if any: a
// second press raises it instead of opening another.
AdvancedOptionsDialog *shown_advanced_options(QWidget *owner);

// What the user reads about lines that an import left out or passed over,
// and why it stopped ("" when none).
std::string skipped_lines_text(const ImportReport &report);
// What the user reads about a rebuild that failed ("" when none).
std::string rebuild_failures_text(const RebuildReport &report);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_ADVANCED_OPTIONS_DIALOG_H
