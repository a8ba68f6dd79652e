// main.cc - Ledgrove, the desktop program: opens the register of the
// working directory, shows the main window and the search dialog, and runs
// until the main window closes.  The exit code is 0 on every way out.
//
// LEDGROVE_START_SEARCH="MM/DD/YYYY MM/DD/YYYY [subtotals]" runs one search
// over that range as soon as the dialog shows, for demonstrations and the
// screenshot script; the program takes no other settings.
#include <QApplication>
#include <QStringList>
#include <QTimer>

#include "app/store/database_set.h"
#include "app/ui/control_ids.h"
#include "app/ui/main_window.h"
#include "app/ui/search_dialog.h"

namespace {

using ledgrove::ui::SearchDialog;

void set_dialog_date(SearchDialog &dialog, const QString &date, int month, int day, int year) {
    const QStringList parts = date.split('/');
    if (parts.size() != 3) return;
    dialog.set_control_text(month, parts[0].toStdString());
    dialog.set_control_text(day, parts[1].toStdString());
    dialog.set_control_text(year, parts[2].toStdString());
}

void start_search(SearchDialog &dialog, const QString &request) {
    using namespace ledgrove::control;
    const QStringList words = request.split(' ', Qt::SkipEmptyParts);
    if (words.size() < 2) return;
    set_dialog_date(dialog, words[0], kFromMonth, kFromDay, kFromYear);
    set_dialog_date(dialog, words[1], kToMonth, kToDay, kToYear);
    if (words.contains(QStringLiteral("subtotals")))
        dialog.control(kSubtotals)->setProperty("checked", true);
    dialog.command(kReport);
}

}  // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Ledgrove"));
    app.setQuitOnLastWindowClosed(false);  // the main window decides

    ledgrove::DatabaseSet set;  // the working directory's register
    ledgrove::ui::MainWindow main_window(set);
    set.open();
    main_window.show();

    SearchDialog search(set, &main_window);
    QObject::connect(&search, &SearchDialog::end_program, &main_window,
                     &ledgrove::ui::MainWindow::end_program, Qt::QueuedConnection);
    QObject::connect(&main_window, &ledgrove::ui::MainWindow::register_emptied, &search,
                     &SearchDialog::clear_results);
    search.show();
    // After the dialog, so the notice shows above it.
    QTimer::singleShot(0, &main_window, [&] { main_window.show_open_notice(); });

    const QString request = qEnvironmentVariable("LEDGROVE_START_SEARCH");
    if (!request.isEmpty()) QTimer::singleShot(0, &search, [&] { start_search(search, request); });

    app.exec();
    set.close();
    return 0;
}
