// output_test.cc - what leaves the window: copies of exactly the selected
// lines, code-page characters kept; printed reports read back from PDF
// files with pdftotext; and exports of the selected checks, which import
// back, or fail with the file's name and the system's reason.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHeaderView>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "app/output/report_text.h"
#include "app/ui/report_printer.h"
#include "ui_test_support.h"

using namespace ledgrove::control;
using ledgrove::ui::from_ansi;
using ledgrove::ui::SearchWindow;

class OutputTest : public QObject, ui_test::Fixture {
    Q_OBJECT

    int rows() const { return static_cast<int>(window->results().size()); }
    int row_starting(const QString &prefix) const {
        for (int r = 0; r < rows(); ++r)
            if (line(r).startsWith(prefix)) return r;
        return -1;
    }
    void search_everything(int order_button) {
        set_years(2000, 2099);
        click(order_button);
    }
    // Prints through the Print button to a Letter PDF; its pages as text.
    QStringList print(const std::function<void(QPrinter &)> &choose = {}) {
        const QString pdf = reg->path("report.pdf");
        QFile::remove(pdf);
        prompts->set_up_printer = [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageSize(QPageSize(QPageSize::Letter));
            printer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
            if (choose) choose(printer);
            return true;
        };
        click(kPrint);
        return ui_test::pdf_pages(pdf);
    }

private slots:
    void initTestCase() { QVERIFY(make_register(150)); }
    void init() { open_window(); }
    void cleanup() { close_window(); }

    void copy_takes_exactly_the_selection_data() {
        QTest::addColumn<bool>("by_key");
        QTest::newRow("Copy to Clipboard") << false;
        QTest::newRow("Ctrl+C in the list") << true;
    }

    void copy_takes_exactly_the_selection() {
        QFETCH(bool, by_key);
        search_everything(kSortCheckId);
        const int accented = row_starting("900005");
        QGuiApplication::clipboard()->setText("before");
        select_rows({0, 2, accented});
        if (by_key)
            QTest::keyClick(window->result_view(), Qt::Key_C, Qt::ControlModifier);
        else
            click(kCopyToClipboard);
        QCOMPARE(QGuiApplication::clipboard()->text(), line(0) + "\r\n" + line(2) + "\r\n" + line(accented) + "\r\n");
        QVERIFY(line(accented).contains(QString::fromUtf8("CAF\u00c9 \u20ac SHOP")));
        QVERIFY(!selection()->hasSelection());
        QVERIFY(prompts->messages.isEmpty());
    }

    void large_selections_are_taken_whole() {
        // More lines than a fixed block of 5,200,000 bytes or a cap of
        // 60,000 selected lines would take.
        constexpr int kLines = 70000;
        ledgrove::ResultList &list = window->begin_results();
        for (int i = 0; i < kLines; ++i) {
            std::string l = std::to_string(900000 + i) + " 01/02/2007 V1" + std::string(105, ' ');
            list.append(l.replace(110, 15, "         100.00"));
        }
        window->end_results();
        window->result_view()->selectAll();
        click(kCopyToClipboard);
        const QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE(copied.size(), kLines * (125 + 2));
        QVERIFY(copied.endsWith(line(kLines - 1) + "\r\n"));
    }

    void nothing_selected() {
        search_everything(kSortDate);
        for (int button : {kCopyToClipboard, kExport}) click(button);
        QCOMPARE(prompts->messages.size(), 2);
        for (const ui_test::Message &m : prompts->messages)
            QCOMPARE(m.caption + " " + m.text, QString("No Selection! You must select at least one line!"));
        QVERIFY(prompts->file_titles.isEmpty());
        click(kPrint);  // offers the whole result
        QCOMPARE(prompts->print_dialogs, 1);
        QVERIFY(!prompts->selection_offered);
    }

    // The whole result, in reverse: title, criteria, headings on every page,
    // every line, the count and total at the end, "Page X of Y" throughout.
    void printed_report() {
        qobject_cast<QAbstractButton *>(window->control(kSubtotals))->setChecked(true);
        window->set_control_text(kVendorNameText, "e");
        search_everything(kSortCheckId);
        QTest::mouseClick(window->result_view()->header()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(window->reversed());
        const QStringList pages = print();
        QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
        const QString all = pages.join('\n').simplified();
        QVERIFY(pages[0].contains(QDir(QString::fromStdString(reg->set().directory())).absolutePath()));
        QVERIFY2(pages[0].contains(QRegularExpression("Checks dated 01/01/2000 to \\d\\d/\\d\\d/2099, in Check ID order, reversed\\.")),
                 qPrintable(pages[0]));
        QVERIFY(pages[0].contains("Vendor Name contains \"e\"; letter case ignored."));
        QVERIFY(pages[0].contains("Any amount.") && pages[0].contains("Subtotals by Check ID."));
        for (int p = 0; p < pages.size(); ++p) {
            for (const char *heading : {"Check ID", "Date", "Vendor ID", "Vendor Name", "PO Number", "Description", "Amount"})
                QVERIFY2(pages[p].contains(heading), qPrintable(QString("page %1: %2").arg(p + 1).arg(heading)));
            QVERIFY(pages[p].contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages.size())));
            QVERIFY(pages[p].contains("Printed " + QDate::currentDate().toString("MM/dd/yyyy")));
        }
        for (int r = 0; r < rows(); ++r) QVERIFY2(all.contains(line(r).simplified()), qPrintable(line(r)));
        const ledgrove::LinesSum sum = ledgrove::sum_record_lines(window->results());
        QVERIFY(sum.checks > 20);
        QVERIFY(pages.last().contains(from_ansi(ledgrove::summary_text(sum))));
    }

    void printed_selection_and_page_range() {
        search_everything(kSortAmount);
        select_rows({3, 4, 7});
        QStringList pages = print();
        QVERIFY(prompts->selection_offered);
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].contains(QStringLiteral("The 3 lines selected of %1.").arg(rows())));
        for (int r : {3, 4, 7}) QVERIFY(pages[0].simplified().contains(line(r).simplified()));
        QVERIFY(!pages[0].simplified().contains(line(5).simplified()));
        QVERIFY(pages[0].contains("3 checks, total "));
        QVERIFY(!selection()->hasSelection());

        pages = print([](QPrinter &printer) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(2, 2);
        });
        QCOMPARE(pages.size(), 1);
        QVERIFY(pages[0].contains("Page 2 of "));
        QVERIFY(!pages[0].contains("Checks dated"));
    }

    void print_cancelled() {
        search_everything(kSortCheckId);
        bool disabled_while_printing = false;
        QTimer::singleShot(0, [&] {
            disabled_while_printing = !window->isEnabled();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == "Abort" && w->isVisible())
                    QTest::mouseClick(w->findChild<QPushButton *>("id1"), Qt::LeftButton);
        });
        QVERIFY(print().size() <= 1);  // stopped within the first page
        QVERIFY(disabled_while_printing);
        QVERIFY(window->isEnabled());

        prompts->set_up_printer = nullptr;  // the print dialog cancelled
        click(kPrint);
        QCOMPARE(prompts->messages.size(), 1);
        QCOMPARE(prompts->messages[0].text, QString(ledgrove::ui::kNothingPrinted));
    }

    // The selected checks, in list order, as the import reads them; a file
    // that cannot be written is told and the selection kept, to try again.
    void export_selection_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("says");
        QTest::newRow("written") << "picked.csv" << "Export Done | 3 lines written to %1.";
        QTest::newRow("cancelled") << "" << "";
        QTest::newRow("no folder") << "/no/such/x.csv" << "Error | Cannot create %1: file not found (error 2).";
        QTest::newRow("disk full") << "/dev/full" << "Error | Cannot write %1: the disk is full (error 112).";
    }

    void export_selection() {
        QFETCH(QString, path);
        QFETCH(QString, says);
        if (path.startsWith("p")) path = reg->path(path);
        search_everything(kSortCheckId);
        select_rows({row_starting("900004"), row_starting("900001"), row_starting("900003")});
        prompts->files << path;
        click(kExport);
        QCOMPARE(prompts->file_titles, QStringList{"Export Data to CSV"});
        QCOMPARE(prompts->messages.size(), says.isEmpty() ? 0 : 1);
        if (!says.isEmpty()) QCOMPARE(prompts->messages[0].caption + " | " + prompts->messages[0].text, says.arg(path));
        QCOMPARE(selection()->hasSelection(), !path.endsWith("picked.csv"));
        if (!path.endsWith("picked.csv")) return;
        const std::vector<ledgrove::CheckRecord> checks = ui_test::ranked_checks();
        QCOMPARE(ui_test::read_file(path), ledgrove::csv_line_from_record(checks[0]) +
                                               ledgrove::csv_line_from_record(checks[2]) +
                                               ledgrove::csv_line_from_record(checks[3]));
    }
};

int run_output_tests(int argc, char **argv) { return ui_test::run<OutputTest>(argc, argv); }

#include "output_test.moc"
