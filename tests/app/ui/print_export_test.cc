// print_export_test.cc - the selected result lines printed to a PDF file
// (read back with pdftotext) and exported to a register CSV file (imported
// back into an empty register).
#include <QApplication>
#include <QListView>
#include <QTimer>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/maint/demo_register.h"
#include "app/output/page_layout.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/ui/control_ids.h"
#include "app/ui/report_printer.h"
#include "app/ui/search_dialog.h"
#include "sample_register.h"
#include "ui_test_support.h"

using namespace ledgrove::control;
using ledgrove::ui::SearchDialog;

namespace {

// The pages of a PDF file as text, one string per page.
QStringList pdf_pages(const QString &pdf) {
    QProcess run;
    run.start("pdftotext", {"-layout", pdf, "-"});
    if (!run.waitForFinished(30000) || run.exitCode() != 0) return {};
    QStringList pages = QString::fromUtf8(run.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

// The non-blank lines of a page, without trailing spaces.
QStringList text_lines(const QString &page) {
    QStringList lines;
    for (QString line : page.split('\n')) {
        while (line.endsWith(' ')) line.chop(1);
        if (!line.trimmed().isEmpty()) lines << line;
    }
    return lines;
}

}  // namespace

class PrintExportTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui_test::Register> reg_;
    std::unique_ptr<ui_test::Prompts> prompts_;
    std::unique_ptr<SearchDialog> dialog_;

    void click(int id) {
        QTest::mouseClick(qobject_cast<QPushButton *>(dialog_->control(id)), Qt::LeftButton);
    }
    QString line(int row) const {
        return dialog_->result_view()->model()->index(row, 0).data().toString();
    }
    int rows() const { return dialog_->result_view()->model()->rowCount(); }
    int row_starting(const QString &prefix) const {
        for (int r = 0; r < rows(); ++r)
            if (line(r).startsWith(prefix)) return r;
        return -1;
    }
    void select_rows(std::initializer_list<int> list) {
        for (int r : list)
            dialog_->result_view()->selectionModel()->select(
                dialog_->result_view()->model()->index(r, 0), QItemSelectionModel::Select);
    }
    void search_everything(int order_button) {
        dialog_->set_control_text(kFromYear, "2000");
        click(order_button);
    }
    // Prints the selection to a PDF of the given page and returns its pages.
    QStringList print_selection(const QPageSize &size, const QMarginsF &margins_mm,
                                ledgrove::PageLayout *layout) {
        const QString pdf = reg_->path("report.pdf");
        prompts_->set_up_printer = [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageSize(size);
            printer.setPageMargins(margins_mm, QPageLayout::Millimeter);
            *layout = ledgrove::page_layout(ledgrove::ui::printer_metrics(printer));
            return true;
        };
        click(kPrint);
        return pdf_pages(pdf);
    }

private slots:
    void initTestCase() {
        reg_ = std::make_unique<ui_test::Register>();
        QVERIFY(reg_->ok());
        std::string csv = ledgrove::demo_register_csv(150);
        for (const ledgrove::CheckRecord &r : ui_test::ranked_checks())
            csv += ledgrove::csv_line_from_record(r);
        QVERIFY(reg_->import_text(csv));
    }

    void init() {
        prompts_ = std::make_unique<ui_test::Prompts>();
        dialog_ = std::make_unique<SearchDialog>(reg_->set());
        dialog_->show();
    }

    void cleanup() {
        dialog_.reset();
        prompts_.reset();
    }

    void print_pages_data() {
        QTest::addColumn<QPageSize>("size");
        QTest::addColumn<QMarginsF>("margins");
        QTest::addColumn<bool>("whole_lines");  // A5 is narrower than a line: its ends are cut
        QTest::newRow("Letter, 10 mm") << QPageSize(QPageSize::Letter) << QMarginsF(10, 10, 10, 10) << true;
        QTest::newRow("A5, 5 and 20 mm") << QPageSize(QPageSize::A5) << QMarginsF(5, 20, 5, 20) << false;
        QTest::newRow("Letter, no margin") << QPageSize(QPageSize::Letter) << QMarginsF(0, 0, 0, 0) << true;
    }

    void print_pages() {
        QFETCH(QPageSize, size);
        QFETCH(QMarginsF, margins);
        QFETCH(bool, whole_lines);
        search_everything(kSortCheckId);
        const int count = rows();
        QCOMPARE(count, 154);
        dialog_->result_view()->selectAll();
        ledgrove::PageLayout layout{};
        const QStringList pages = print_selection(size, margins, &layout);
        QCOMPARE(prompts_->print_dialogs, 1);

        const int per_page = layout.lines_per_page();
        QVERIFY(per_page > 10 && per_page < count);
        const int expected_pages = (count + per_page - 1) / per_page;
        QCOMPARE(pages.size(), expected_pages);
        int printed = 0;
        for (int p = 0; p < pages.size(); ++p) {
            const QStringList lines = text_lines(pages[p]);
            const int on_page = p + 1 < pages.size() ? per_page : count - per_page * p;
            QCOMPARE(lines.size(), on_page + 1);
            for (int i = 0; i < on_page; ++i, ++printed) {
                const QString shown = line(printed).simplified();
                if (whole_lines)
                    QCOMPARE(lines[i].simplified(), shown);
                else
                    QVERIFY2(lines[i].size() > 60 && shown.startsWith(lines[i].simplified()),
                             qPrintable(lines[i]));
            }
            // The page number stands under the last line, at the left edge.
            QCOMPARE(lines.last().trimmed(), QStringLiteral("Page %1").arg(p + 1));
        }
        QCOMPARE(printed, count);
        QVERIFY(!dialog_->result_view()->selectionModel()->hasSelection());
        QVERIFY(prompts_->messages.isEmpty());
        QVERIFY(dialog_->isEnabled());
    }

    void one_line_one_page() {
        search_everything(kSortAmount);
        select_rows({7});
        ledgrove::PageLayout layout{};
        const QStringList pages =
            print_selection(QPageSize(QPageSize::Letter), QMarginsF(6, 6, 6, 6), &layout);
        QCOMPARE(pages.size(), 1);
        const QStringList lines = text_lines(pages[0]);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].simplified(), line(7).simplified());
        QCOMPARE(lines[1].trimmed(), QString("Page 1"));
    }

    void cancel_during_the_job() {
        search_everything(kSortCheckId);
        dialog_->result_view()->selectAll();
        bool disabled_while_printing = false;
        QTimer::singleShot(0, [&] { disabled_while_printing = !dialog_->isEnabled(); });
        // The cancel dialog's button, pressed as soon as the job lets events in.
        QTimer::singleShot(0, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == "Abort" && w->isVisible())
                    QTest::mouseClick(w->findChild<QPushButton *>("id1"), Qt::LeftButton);
        });
        ledgrove::PageLayout layout{};
        const QStringList pages =
            print_selection(QPageSize(QPageSize::Letter), QMarginsF(10, 10, 10, 10), &layout);
        // Stopped within the first page: nothing or that page alone is left.
        QVERIFY2(pages.size() <= 1, qPrintable(QString::number(pages.size())));
        QVERIFY(disabled_while_printing);
        QVERIFY(dialog_->isEnabled());
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!(w->objectName() == "Abort" && w->isVisible()));
        QVERIFY(!dialog_->result_view()->selectionModel()->hasSelection());
    }

    void print_dialog_cancelled() {
        search_everything(kSortDate);
        select_rows({0, 1});
        click(kPrint);  // no printer set up: the dialog is cancelled
        QCOMPARE(prompts_->print_dialogs, 1);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].caption, QString(ledgrove::ui::kPrintCaption));
        QCOMPARE(prompts_->messages[0].text, QString(ledgrove::ui::kNothingPrinted));
        QVERIFY(!dialog_->result_view()->selectionModel()->hasSelection());
    }

    void export_selected_lines() {
        search_everything(kSortCheckId);
        const int picked[] = {row_starting("900001"), row_starting("900003"),
                              row_starting("900004")};
        QVERIFY(picked[0] >= 0 && picked[0] < picked[1] && picked[1] < picked[2]);
        select_rows({picked[2], picked[0], picked[1]});
        prompts_->files << reg_->path("picked.csv");
        click(kExport);
        QCOMPARE(prompts_->file_titles, QStringList{"Export Data to CSV"});
        QVERIFY(!dialog_->result_view()->selectionModel()->hasSelection());

        // Exactly the three lines, in list order, as the import reads them.
        const std::vector<ledgrove::CheckRecord> checks = ui_test::ranked_checks();
        const std::string expected = ledgrove::csv_line_from_record(checks[0]) +
                                     ledgrove::csv_line_from_record(checks[2]) +
                                     ledgrove::csv_line_from_record(checks[3]);
        const std::string written = ui_test::read_file(reg_->path("picked.csv"));
        QCOMPARE(written, expected);

        // Imported into an empty register they list as they did here.
        ui_test::Register again;
        QVERIFY(again.ok());
        QVERIFY(again.import_text(written));
        ledgrove::SearchInputs whole;
        whole.from = "20000101";
        whole.to = "20991231";
        ledgrove::ResultList results;
        ledgrove::search_records(again.set(), ledgrove::SortOrder::CheckID, whole, results);
        QCOMPARE(results.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i)
            QCOMPARE(QString::fromStdString(std::string(results.line(i))), line(picked[i]));
    }

    void export_failures_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("no folder")
            << "/no/such/folder/x.csv"
            << "Cannot create /no/such/folder/x.csv: file not found (error 2).";
        QTest::newRow("disk full") << "/dev/full"
                                   << "Cannot write /dev/full: the disk is full (error 112).";
    }

    void export_failures() {
        QFETCH(QString, path);
        QFETCH(QString, text);
        search_everything(kSortDate);
        select_rows({0});
        prompts_->files << path;
        click(kExport);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].caption, QString("Error"));
        QCOMPARE(prompts_->messages[0].text, text);
        QVERIFY(dialog_->result_view()->selectionModel()->hasSelection());  // to try again
    }

    void export_cancelled() {
        search_everything(kSortDate);
        select_rows({0});
        click(kExport);
        QCOMPARE(prompts_->file_titles.size(), 1);
        QVERIFY(prompts_->messages.isEmpty());
        QVERIFY(dialog_->result_view()->selectionModel()->hasSelection());
    }
};

QTEST_MAIN(PrintExportTest)
#include "print_export_test.moc"
