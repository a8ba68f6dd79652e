// maintenance.h - the register's upkeep, as the File menu and the Advanced
// Options dialog offer it: Export Database, Empty Database (after a Yes),
// Import Records, ReIndex Database, and the notes file ReadMe.txt.
//
// "Import Records" reads a register CSV file as it stands, and a register
// as public bodies publish it (a CSV file with a header) through the
// column mapping dialog; the indexes are rebuilt and the message tells how
// many checks came in and their total.  A cancelled file dialog does
// nothing; a file that cannot be read, or that holds no record, adds
// nothing.  "Empty Database" asks first, naming the number of checks, with
// No as the answer Enter gives, and keeps a copy of the checks beside the
// register.  After an import, an emptying or a rebuild the register is
// opened again and register_changed() is emitted, so the window shows the
// register as it now is: the program never needs a restart.  On a
// read-only register import, empty and re-index say so and do nothing.
// The long steps show a progress dialog.
#ifndef LEDGROVE_APP_UI_MAINTENANCE_H
#define LEDGROVE_APP_UI_MAINTENANCE_H

#include <QObject>
#include <QString>
#include <string>

#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/store/database_set.h"

class QWidget;

namespace ledgrove::ui {

// Refused lines listed in the message after an import, at most.
inline constexpr std::size_t kListedSkippedLines = 20;
inline constexpr const char *kReIndexFailedCaption = "ReIndex Database";

class Maintenance : public QObject {
    Q_OBJECT

public:
    // `owner` owns the message boxes, file dialogs and progress dialogs.
    Maintenance(DatabaseSet &set, QWidget *owner);

    void export_database();
    void empty_database();
    void import_records();
    void reindex_database();
    void important_information();

signals:
    // The register was changed and opened again.
    void register_changed();
    // A passing note on what was done, for the status bar.
    void done(const QString &note);

private:
    bool rebuild_with_progress();
    void reopen();
    bool refused_read_only();

    DatabaseSet &set_;
    QWidget *owner_;
};

// What the user reads about lines that an import left out or passed over,
// and why it stopped ("" when none).
std::string skipped_lines_text(const ImportReport &report);
// What the user reads about a rebuild that failed ("" when none).
std::string rebuild_failures_text(const RebuildReport &report);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_MAINTENANCE_H
