// maintenance_test.cc - the register's upkeep through the menus and the
// Advanced Options dialog, each over a register of its own: after an
// import, an emptying or a rebuild the window stays open and shows the
// register as it now is; failures change nothing and say why.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>

#include "app/output/messages.h"
#include "app/ui/advanced_options_dialog.h"
#include "app/ui/import_mapping_dialog.h"
#include "app/ui/maintenance.h"
#include "support/fault_layer.h"
#include "ui_test_support.h"

using namespace ledgrove::control;
using ledgrove::ui::SearchWindow;

namespace {

// A register as a public body publishes it: a header, quoted names with
// commas, dates and amounts in their own forms, a check id longer than the
// register keeps, and a row that is no check.
const std::string kPublished =
    "Check Number,Check Date,Payee,Description,Amount\r\n"
    "2101282,2024-03-15,\"ACME, INC.\",Office supplies,\"$1,234.50\"\r\n"
    "2101283,2024-03-16,\"SMITH, JOHN\",Travel,-45\r\n"
    "VOID,not a date,NOBODY,Nothing,0\r\n";

}  // namespace

class MaintenanceTest : public QObject, ui_test::Fixture {
    Q_OBJECT

    void menu(int id) { window->findChild<QAction *>(QStringLiteral("id%1").arg(id))->trigger(); }
    QString message(int i) const { return prompts->messages[i].caption + " | " + prompts->messages[i].text; }
    QString status() const { return window->findChild<QLabel *>("registerStatus")->text(); }
    int listed() const { return static_cast<int>(window->results().size()); }
    // Acts on the next modal dialog: the first events handled are its own.
    void when_modal(std::function<void(QWidget *)> act) {
        QTimer::singleShot(0, this, [act] { act(QApplication::activeModalWidget()); });
    }

private slots:
    // A register of the four ranked checks, all of them listed.
    void init() {
        QVERIFY(make_register(0, false));
        open_window();
        window->command(kAll);
        window->command(kReport);
        QCOMPARE(listed(), 4);
    }

    void cleanup() {
        close_window();
        reg.reset();
    }

    // The import through the menu: the window stays, listing the new check
    // in the search it showed (its range now spanning the new first date).
    void import_keeps_the_program_running() {
        QVERIFY(ui_test::write_file(reg->path("more.csv"), ledgrove::csv_line_from_record(ui_test::accented_check()) +
                                                                "short line\r\n"));
        prompts->files << reg->path("more.csv");
        menu(menu::kImportRecords);
        QCOMPARE(prompts->file_titles, QStringList{"Import Data from CSV"});
        QCOMPARE(prompts->messages.size(), 1);
        QVERIFY2(message(0).startsWith("Import Records | 1 check imported, total 5.00.\n\n"), qPrintable(message(0)));
        QVERIFY(message(0).contains("line 2:"));
        QVERIFY(window->isVisible());
        QVERIFY(reg->set().is_open());
        QCOMPARE(listed(), 5);
        QVERIFY(ledgrove::ui::from_ansi(window->results().line(0)).startsWith("900005 01/01/2005"));
        QCOMPARE(window->control_text(kFromYear), std::string("2005"));
        QVERIFY(status().endsWith(": 5 checks"));
        QVERIFY(qobject_cast<QComboBox *>(window->control(kYears))->findText("2005") > 0);
    }

    void import_of_a_published_register() {
        QVERIFY(ui_test::write_file(reg->path("published.csv"), kPublished));
        prompts->files << reg->path("published.csv");
        QString preview;
        when_modal([&](QWidget *modal) {
            if (auto *mapping = qobject_cast<ledgrove::ui::ImportMappingDialog *>(modal)) {
                preview = mapping->preview()->toPlainText();
                QTest::mouseClick(mapping->import_button(), Qt::LeftButton);
            }
        });
        menu(menu::kImportRecords);
        // The first rows as the register will list them, and the row that is no check.
        QVERIFY2(preview.contains("101282 03/15/2024            ACME, INC."), qPrintable(preview));
        QVERIFY(preview.contains("row 4: not a check"));
        QCOMPARE(prompts->messages.size(), 2);
        QVERIFY(message(0).contains("Rows written: 2") && message(0).contains("Rows skipped: 1"));
        QCOMPARE(message(1), QString("Import Records | 2 checks imported, total 1,189.50."));
        QCOMPARE(reg->record_count(), 6u);
        QCOMPARE(listed(), 6);  // the range grew to 03/16/2024
    }

    void imports_that_add_nothing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("says");
        QTest::newRow("cancelled") << "" << "";
        QTest::newRow("missing") << "missing.csv" << "Error | Cannot read %1: file not found (error 2).";
        QTest::newRow("no check") << "junk.csv" << "Error | 1 lines of the file were not imported:\nline 1:";
        QTest::newRow("no mapping") << "notes.csv" << "";
    }

    void imports_that_add_nothing() {
        QFETCH(QString, file);
        QFETCH(QString, says);
        std::string junk = ledgrove::csv_line_from_record(ui_test::ranked_checks()[0]);
        QVERIFY(ui_test::write_file(reg->path("junk.csv"), junk.replace(junk.find(",20.00"), 6, ",lots ")));
        QVERIFY(ui_test::write_file(reg->path("notes.csv"), "just some words\nand more\n"));
        bool import_enabled = false;
        if (file == "notes.csv")  // no register at all: its mapping cannot import
            when_modal([&](QWidget *modal) {
                import_enabled = qobject_cast<ledgrove::ui::ImportMappingDialog *>(modal)->import_button()->isEnabled();
                qobject_cast<QDialog *>(modal)->reject();
            });
        if (!file.isEmpty()) prompts->files << reg->path(file);
        window->maintenance().import_records();
        QCOMPARE(prompts->messages.size(), says.isEmpty() ? 0 : 1);
        if (!says.isEmpty()) QVERIFY2(message(0).startsWith(QString(says).replace("%1", reg->path(file))), qPrintable(message(0)));
        QVERIFY(!import_enabled);
        QCOMPARE(reg->record_count(), 4u);
        QCOMPARE(listed(), 4);
    }

    void empty_database() {
        window->command(kAdvancedOptions);
        auto *dialog = window->findChild<ledgrove::ui::AdvancedOptionsDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        auto *empty = qobject_cast<QPushButton *>(dialog->control(advanced::kEmptyDatabase));
        prompts->answers << false;  // No changes nothing
        QTest::mouseClick(empty, Qt::LeftButton);
        QCOMPARE(prompts->messages[0].caption, QString("Are you sure?"));
        QVERIFY(prompts->messages[0].text.startsWith("Database will be Emptied! Its 4 checks "));
        QVERIFY(prompts->messages[0].buttons == ledgrove::ui::MessageButtons::YesNo);
        QCOMPARE(listed(), 4);
        QTest::mouseClick(empty, Qt::LeftButton);  // Yes
        QCOMPARE(prompts->messages.size(), 3);
        QCOMPARE(prompts->messages[2].caption, QString("Success!"));
        // The message names the copy of the checks, beside the register.
        const QString copy = QRegularExpression("ChkREG-before-empty-\\d{8}-\\d{6}\\.csv").match(message(2)).captured();
        QCOMPARE(QByteArray::fromStdString(ui_test::read_file(reg->path(copy))).count("\r\n"), 4);
        QCOMPARE(listed(), 0);
        QVERIFY(status().endsWith(": 0 checks"));
        QVERIFY(window->isVisible() && reg->set().is_open());
    }

    void reindex_restores_a_lost_index() {
        window.reset();
        reg->set().close();
        QVERIFY(QFile::remove(reg->path("ChkRNAM.IX4")));
        reg->set().open();
        open_window();
        window->command(kSortVendorName);
        QCOMPARE(listed(), 0);
        window->maintenance().reindex_database();
        QVERIFY(prompts->messages.isEmpty());
        QVERIFY(reg->set().failures().empty());
        QCOMPARE(listed(), 4);  // the same search, again
        QCOMPARE(window->statusBar()->currentMessage(), QString("The eight indexes were rebuilt."));
    }

    // A register that may not be written: the window says so, and the
    // three changing steps refuse.
    void read_only_register_refuses_changes() {
        kvl_test::FaultLayer faults;
        faults.refuse_writable_opens(KVL_WIN_WRITE_PROTECT);
        ledgrove::DatabaseSet set(reg->path("").toStdString(), faults.table());
        set.open();
        SearchWindow read_only(set);
        QVERIFY(read_only.findChild<QLabel *>("registerStatus")->text().endsWith(": 4 checks, read-only"));
        read_only.maintenance().import_records();
        read_only.maintenance().empty_database();
        read_only.maintenance().reindex_database();
        QCOMPARE(prompts->messages.size(), 3);
        for (const ui_test::Message &m : prompts->messages)
            QCOMPARE(m.text, QString::fromLatin1(ledgrove::messages::kReadOnlyRegister));
        QVERIFY(prompts->file_titles.isEmpty());
        QCOMPARE(set.data()->header.record_count, 4u);
    }
};

int run_maintenance_tests(int argc, char **argv) { return ui_test::run<MaintenanceTest>(argc, argv); }

#include "maintenance_test.moc"
