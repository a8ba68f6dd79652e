// work_progress.h - a progress dialog for the long maintenance steps: the
// import and the rebuild of the eight indexes report through the core's
// observers, and each report moves the bar and lets the window system
// repaint.  The work runs on the program's one thread, as every engine call
// does; while it runs, input to the program's windows is held back (the
// dialog is application-modal and events are processed without user input),
// so nothing can search a register that is half rebuilt.
#ifndef LEDGROVE_APP_UI_WORK_PROGRESS_H
#define LEDGROVE_APP_UI_WORK_PROGRESS_H

#include <QString>
#include <memory>

#include "app/maint/import.h"
#include "app/maint/rebuild.h"

class QProgressDialog;
class QWidget;

namespace ledgrove::ui {

class WorkProgress {
public:
    WorkProgress(QWidget *owner, const QString &title);
    ~WorkProgress();
    WorkProgress(const WorkProgress &) = delete;
    WorkProgress &operator=(const WorkProgress &) = delete;

    ImportObserver import_observer();
    RebuildObserver rebuild_observer();

    // The last text and value shown, for tests.
    QString label() const;
    int value() const;

private:
    void show(int percent, const QString &label);

    std::unique_ptr<QProgressDialog> dialog_;
};

// "Importing records: 12,288 lines read"
QString import_progress_text(const ImportProgress &progress);
int import_progress_percent(const ImportProgress &progress);
// "Rebuilding index 3 of 8: ChkRCID.IX4"
QString rebuild_progress_text(const RebuildProgress &progress);
// The whole rebuild's share done, the indexes counted equally.
int rebuild_progress_percent(const RebuildProgress &progress);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_WORK_PROGRESS_H
