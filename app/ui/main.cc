// main.cc - Ledgrove, the desktop program: opens the register of the
// working directory, shows the search window, and runs until it closes.
// The exit code is 0 on every way out.  The criteria of the last search run
// are back in the window's boxes, ready for Report.
//
// LEDGROVE_START_SEARCH="MM/DD/YYYY MM/DD/YYYY [subtotals] [NAME=VALUE...]"
// runs one search over that range as soon as the window shows, for
// demonstrations and the screenshot script; NAME=VALUE sets any other
// criterion by its command-line name ("by=vendor" a summary).  The program
// takes no other settings from outside.
#include <QApplication>
#include <QStringList>
#include <QTimer>

#include "app/store/database_set.h"
#include "app/ui/control_ids.h"
#include "app/ui/search_window.h"

namespace {

using ledgrove::ui::SearchWindow;

void set_window_date(SearchWindow &window, const QString &date, int month, int day, int year) {
    const QStringList parts = date.split('/');
    if (parts.size() != 3) return;
    window.set_control_text(month, parts[0].toStdString());
    window.set_control_text(day, parts[1].toStdString());
    window.set_control_text(year, parts[2].toStdString());
}

void start_search(SearchWindow &window, const QString &request) {
    using namespace ledgrove::control;
    const QStringList words = request.split(' ', Qt::SkipEmptyParts);
    if (words.size() < 2) return;
    set_window_date(window, words[0], kFromMonth, kFromDay, kFromYear);
    set_window_date(window, words[1], kToMonth, kToDay, kToYear);
    if (words.contains(QStringLiteral("subtotals")))
        window.control(kSubtotals)->setProperty("checked", true);
    std::vector<ledgrove::NamedValue> criteria = window.criteria_values();
    for (const QString &word : words.mid(2))
        if (word.contains('='))
            criteria.push_back({word.section('=', 0, 0).toStdString(), word.section('=', 1).toStdString()});
    window.set_criteria(criteria);
    window.command(kReport);
}

}  // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Ledgrove"));

    ledgrove::DatabaseSet set;  // the working directory's register
    set.open();
    SearchWindow window(set);
    window.restore_last_search();
    window.show();
    // After the window, so the notice shows above it.
    QTimer::singleShot(0, &window, [&] { window.show_open_notice(); });

    const QString request = qEnvironmentVariable("LEDGROVE_START_SEARCH");
    if (!request.isEmpty()) QTimer::singleShot(0, &window, [&] { start_search(window, request); });

    app.exec();
    set.close();
    return 0;
}
