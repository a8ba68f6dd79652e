// summary_test.cc - what the window adds beyond the lines: saved searches
// that restore every criterion, the date presets at a fiscal year's turn,
// the summary table against the core's summary and its sorting, "Copy as
// Command" run through ledgrove-cli, and the standard exports and chart.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <tuple>

#include "app/output/messages.h"
#include "app/output/result_export.h"
#include "app/search/result_lines.h"
#include "app/ui/dialog_template.h"
#include "app/search/summary.h"
#include "app/ui/summary_view.h"
#include "ui_test_support.h"

using namespace ledgrove::control;
using ledgrove::ui::from_ansi;

class SummaryTest : public QObject, ui_test::Fixture {
    Q_OBJECT

    void trigger(int menu_id) { window->findChild<QAction *>(ledgrove::ui::object_name(menu_id))->trigger(); }
    QComboBox *combo(int id) const { return qobject_cast<QComboBox *>(widget(id)); }
    void type(int id, const char *text) { window->set_control_text(id, text); }
    void check(int id, bool on) { qobject_cast<QAbstractButton *>(widget(id))->setChecked(on); }
    // Everything a search is made of, comparable.
    static auto all_of(const ledgrove::SearchRequest &r) {
        const ledgrove::SearchInputs &i = r.inputs;
        return std::tuple(i.from, i.to, i.vendor_name, i.description, i.check_id, i.po_number, i.vendor_id, i.amount,
                          i.amount_operator, i.amount_min, i.amount_max, i.any_text, i.match_case, i.reverse,
                          i.subtotals, i.dates_by_month, r.order, r.fiscal_start, r.summary.by);
    }
    QString date(int month, int day, int year) const {
        return QString::fromStdString(window->control_text(month) + "/" + window->control_text(day) + "/" +
                                      window->control_text(year));
    }
    ledgrove::ui::SummaryModel *model() const {
        return qobject_cast<ledgrove::ui::SummaryModel *>(window->summary_view()->table()->model());
    }
    QStringList column(int c) const {
        QStringList cells;
        for (int r = 0; r < model()->rowCount(); ++r) cells << model()->cell(r, c);
        return cells;
    }

private slots:
    void initTestCase() { QVERIFY(make_register(300)); }
    void init() {
        QSettings("Ledgrove", "Ledgrove").clear();
        open_window();
    }
    void cleanup() { close_window(); }

    // Saved, changed in every control, recalled: the same search; and it
    // is the last search a new window starts with.
    void saved_search_restores_every_criterion() {
        set_years(2006, 2008);
        for (const auto &[id, text] : {std::pair(kVendorNameText, "CAF\xC9"), std::pair(kDescriptionText, "D'SC"),
                                       std::pair(kCheckIdText, "9"), std::pair(kPoNumberText, "P"),
                                       std::pair(kVendorIdText, "V"), std::pair(kAmountText, "5"),
                                       std::pair(kAmountOperator, ">"), std::pair(kAmountMin, "-10"),
                                       std::pair(kAmountMax, "$5,000.00"), std::pair(kAnyText, "A & B")})
            type(id, text);
        for (int id : {kMatchCase, kSubtotals, kSubtotalByMonth}) check(id, true);
        combo(kSummarizeBy)->setCurrentIndex(3);  // Fiscal year
        combo(kFiscalStart)->setCurrentIndex(9);  // October
        click(kSortVendorName);
        click(kSortVendorName);
        QTest::mouseClick(window->result_view()->header()->viewport(), Qt::LeftButton, {},
                          QPoint(window->result_view()->header()->sectionViewportPosition(3) + 4, 5));
        const auto saved = all_of(window->criteria());
        QCOMPARE(std::get<13>(saved), true);  // reversed by the heading
        prompts->texts << "mine";
        trigger(menu::kSaveSearch);

        set_years(2001, 2002);
        for (int id : {kVendorNameText, kDescriptionText, kCheckIdText, kPoNumberText, kVendorIdText, kAmountText,
                       kAmountMin, kAmountMax, kAnyText})
            type(id, "");
        type(kAmountOperator, "=");
        for (int id : {kMatchCase, kSubtotals, kSubtotalByMonth}) check(id, false);
        combo(kSummarizeBy)->setCurrentIndex(0);
        combo(kFiscalStart)->setCurrentIndex(6);
        click(kSortCheckId);
        QVERIFY(all_of(window->criteria()) != saved);

        QMenu *saved_menu = window->findChild<QMenu *>(ledgrove::ui::object_name(menu::kSavedSearches));
        QCOMPARE(saved_menu->actions().size(), 1);
        saved_menu->actions()[0]->trigger();
        QCOMPARE(all_of(window->criteria()), saved);
        QCOMPARE(window->result_tabs()->currentIndex(), 1);  // it ran, summary shown
        close_window();
        open_window();
        window->restore_last_search();
        QCOMPARE(all_of(window->criteria()), saved);
    }

    // On the first day of fiscal year 2025 (July start), and with the
    // calendar year as the fiscal year.
    void date_presets_at_a_fiscal_year_turn() {
        using P = ledgrove::DatePreset;
        window->set_today({2024, 7, 1});
        const struct {
            P preset;
            int start;
            const char *from, *to;
        } cases[] = {
            {P::ThisMonth, 7, "07/01/2024", "07/31/2024"},       {P::LastMonth, 7, "06/01/2024", "06/30/2024"},
            {P::ThisFiscalYear, 7, "07/01/2024", "06/30/2025"},  {P::Quarter4, 7, "04/01/2025", "06/30/2025"},
            {P::LastFiscalYear, 7, "07/01/2023", "06/30/2024"},  {P::Quarter4, 7, "04/01/2024", "06/30/2024"},
            {P::Quarter1, 7, "07/01/2023", "09/30/2023"},        {P::Last12Months, 7, "08/01/2023", "07/01/2024"},
            {P::ThisFiscalYear, 1, "01/01/2024", "12/31/2024"},  {P::Quarter3, 1, "07/01/2024", "09/30/2024"},
        };
        for (const auto &c : cases) {
            combo(kFiscalStart)->setCurrentIndex(c.start - 1);
            combo(kDatePresets)->activated(static_cast<int>(c.preset));
            QCOMPARE(date(kFromMonth, kFromDay, kFromYear) + " " + date(kToMonth, kToDay, kToYear),
                     QString(c.from) + " " + c.to);
        }
    }

    // The table holds the core's summary of the same criteria; a heading
    // sorts by value: counts and totals as numbers, dates as dates.
    void summary_table_is_the_summary_and_sorts_by_value() {
        set_years(2000, 2099);
        type(kAmountMin, "-100000");
        combo(kSummarizeBy)->setCurrentIndex(1);  // Vendor
        click(kReport);
        QCOMPARE(window->result_tabs()->currentIndex(), 1);
        const ledgrove::Summary expected = ledgrove::summarize(reg->set(), ledgrove::SortOrder::Date,
                                                               window->criteria().inputs, window->criteria().summary);
        QCOMPARE(model()->rowCount(), int(expected.rows.size()));
        QVERIFY(expected.rows.size() > 10);
        for (int r = 0; r < model()->rowCount(); ++r) {
            QCOMPARE(model()->cell(r, 1), from_ansi(expected.rows[r].label));
            QCOMPARE(model()->cell(r, 3), QString::fromStdString(ledgrove::grouped_cents(expected.rows[r].total_cents)));
        }
        QCOMPARE(window->summary_view()->total()->text(),
                 QString::fromStdString(ledgrove::messages::summary_total(expected.rows.size(), expected.checks,
                                                                          expected.total_cents)));
        auto number = [](QString text) { return text.remove(',').toDouble(); };
        auto day = [](const QString &text) { return text.mid(6, 4) + text.left(2) + text.mid(3, 2); };
        QHeaderView *header = window->summary_view()->table()->horizontalHeader();
        for (int c : {2, 3, 5}) {
            for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                header->setSortIndicator(c, order);
                const QStringList cells = column(c);
                for (qsizetype r = 1; r < cells.size(); ++r) {
                    const bool in_order = c == 5 ? day(cells[r - 1]) <= day(cells[r]) : number(cells[r - 1]) <= number(cells[r]);
                    QVERIFY2(in_order == (order == Qt::AscendingOrder) || cells[r - 1] == cells[r],
                             qPrintable(cells[r - 1] + " " + cells[r]));
                }
            }
        }
        // Copied as shown: the header, then the rows in the table's order.
        QTest::keyClick(window->summary_view()->table(), Qt::Key_C, Qt::ControlModifier);
        const QStringList copied = QGuiApplication::clipboard()->text().split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(copied.size(), model()->rowCount() + 1);
        QVERIFY(copied[0].startsWith("Vendor ID\tVendor Name\tChecks\tTotal"));
        QCOMPARE(copied[1].section('\t', 5, 5), column(5)[0]);
    }

    // The command line, run by a shell, lists what the window lists (the
    // search's lines) or sums the same checks (the summary).
    void copy_as_command_runs_the_same_search() {
        for (bool summary : {false, true}) {
            set_years(2006, 2099);
            type(kAnyText, "E ");  // a space and a minus sign for the shell
            type(kAmountMin, "-50");
            type(kAmountMax, "3,000");
            check(kSubtotals, true);
            combo(kSummarizeBy)->setCurrentIndex(summary ? 2 : 0);
            click(kSortVendorName);
            trigger(menu::kCopyCommand);
            const QString command = QGuiApplication::clipboard()->text();
            QVERIFY(command.startsWith("ledgrove-cli -C "));
            QProcess shell;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("LC_ALL", "C.UTF-8");
            shell.setProcessEnvironment(env);
            shell.start("sh", {"-c", LEDGROVE_CLI + command.mid(12)});
            QVERIFY(shell.waitForFinished(60000) && shell.exitCode() == 0);
            const QStringList printed = QString::fromUtf8(shell.readAllStandardOutput()).split('\n');
            const QString records = QStringLiteral("Records: %1").arg(window->control_text(kRecordCount).c_str());
            QVERIFY2(printed.contains(records), qPrintable(command));
            if (!summary) QCOMPARE(printed.mid(0, lines().size()), lines());
        }
    }

    // The lines (the selected check lines, subtotal lines among them) as
    // XLSX, the summary as CSV and its chart as PNG: each file written and
    // told, holding what was asked for.
    void exports_and_chart_write_their_files() {
        set_years(2000, 2099);
        check(kSubtotals, true);
        combo(kSummarizeBy)->setCurrentIndex(2);  // Month
        click(kReport);
        window->result_tabs()->setCurrentIndex(0);
        select_rows({0, 1, 2, 3, 4, 5, 6, 7});
        QStringList selected;
        for (int r = 0; r < 8; ++r)
            if (ledgrove::is_record_line(window->results().line(r))) selected << line(r).left(6);
        QVERIFY(selected.size() > 1 && selected.size() < 8);
        const QString xlsx = reg->path("lines.xlsx"), csv = reg->path("months.csv"), png = reg->path("chart.png");
        prompts->files << xlsx << csv << png;
        trigger(menu::kExportLines);
        trigger(menu::kExportSummary);
        trigger(menu::kSaveChart);
        QCOMPARE(prompts->messages.size(), 3);
        QCOMPARE(prompts->messages[0].text, QString("%1 lines written to %2.").arg(selected.size()).arg(xlsx));
        QProcess read;
        read.start("/usr/bin/python3", {qEnvironmentVariable("LEDGROVE_SOURCE_DIR") + "/tests/app/output/read_table.py", xlsx});
        QVERIFY2(read.waitForFinished(30000) && read.exitCode() == 0, read.readAllStandardError().constData());
        QStringList ids;
        for (const QString &row : QString::fromUtf8(read.readAllStandardOutput()).split('\n').mid(1))
            if (!row.startsWith("TOTAL") && !row.isEmpty()) ids << row.section('\t', 0, 0);
        QCOMPARE(ids, selected);
        QCOMPARE(QString::fromStdString(ui_test::read_file(csv)).count('\n'), model()->rowCount() + 1);
        QVERIFY(ui_test::read_file(png).starts_with("\x89PNG"));
        QCOMPARE(prompts->messages[2].text, QString("Chart written to %1.").arg(png));
    }
};

int run_summary_tests(int argc, char **argv) { return ui_test::run<SummaryTest>(argc, argv); }

#include "summary_test.moc"
