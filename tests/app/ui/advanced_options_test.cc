// advanced_options_test.cc - the Advanced Options buttons reach the core:
// each is pressed in a dialog over a register of its own, and the files,
// messages and searches afterwards tell what happened.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <functional>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/output/csv_line.h"
#include "app/output/messages.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/ui/advanced_options_dialog.h"
#include "app/ui/control_ids.h"
#include "app/ui/import_mapping_dialog.h"
#include "app/ui/work_progress.h"
#include "sample_register.h"
#include "support/memory_layer.h"
#include "ui_test_support.h"

using namespace ledgrove::control::advanced;
using ledgrove::ui::AdvancedOptionsDialog;
using ledgrove::ui::ImportMappingDialog;

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

class AdvancedOptionsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui_test::Register> reg_;
    std::unique_ptr<ui_test::Prompts> prompts_;
    std::unique_ptr<AdvancedOptionsDialog> dialog_;

    void press(int id) {
        auto *button = qobject_cast<QPushButton *>(dialog_->control(id));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Record lines a search over the whole range lists, in check id order.
    std::vector<std::string> listed(ledgrove::SortOrder order = ledgrove::SortOrder::CheckID) {
        ledgrove::SearchInputs whole;
        whole.from = "00000101";
        whole.to = "99991231";
        ledgrove::ResultList results;
        ledgrove::search_records(reg_->set(), order, whole, results);
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < results.size(); ++i) lines.emplace_back(results.line(i));
        return lines;
    }
    QString message(int i) const {
        return prompts_->messages[i].caption + " | " + prompts_->messages[i].text;
    }

    // Acts on the next modal dialog once it shows.
    void when_modal(std::function<void(QWidget *)> act, int tries = 500) {
        QTimer::singleShot(10, this, [this, act, tries] {
            if (QWidget *modal = QApplication::activeModalWidget())
                act(modal);
            else if (tries > 0)
                when_modal(act, tries - 1);
        });
    }

private slots:
    void init() {
        reg_ = std::make_unique<ui_test::Register>();
        QVERIFY(reg_->ok());
        QVERIFY(reg_->import_records(ui_test::ranked_checks()));
        prompts_ = std::make_unique<ui_test::Prompts>();
        dialog_ = std::make_unique<AdvancedOptionsDialog>(reg_->set());
        dialog_->show();
    }

    void cleanup() {
        dialog_.reset();
        prompts_.reset();
        reg_.reset();
    }

    void template_texts() {
        QCOMPARE(dialog_->windowTitle(), QString("Advanced Options"));
        const std::pair<int, const char *> buttons[] = {
            {kExportDatabase, "Export Database"}, {kEmptyDatabase, "Empty Database"},
            {kImportRecords, "Import Records"},   {kReIndexDatabase, "ReIndex Database"},
            {kImportantInformation, "Important Information"}};
        for (auto [id, caption] : buttons)
            QCOMPARE(qobject_cast<QPushButton *>(dialog_->control(id))->text(), QString(caption));
        QStringList labels;
        for (QLabel *label : dialog_->findChildren<QLabel *>()) labels << label->text();
        QVERIFY(labels.contains("Ledgrove can be used to manage Check Register data in an ongoing fashion. "));
        QVERIFY(labels.contains("Here you can export the entire database for external management. You can import new records, or empty the database and start over."));
        QVERIFY(labels.contains("You can also Re-Index the database, in case the index files are damaged."));
    }

    void export_database() {
        prompts_->files << reg_->path("whole.csv");
        press(kExportDatabase);
        QCOMPARE(prompts_->file_titles, QStringList{"Export Data to CSV"});
        QVERIFY(prompts_->file_kinds[0] == ledgrove::ui::FileChoice::Save);
        std::string expected;
        for (const ledgrove::CheckRecord &r : ui_test::ranked_checks())
            expected += ledgrove::csv_line_from_record(r);  // already in check id order
        QCOMPARE(ui_test::read_file(reg_->path("whole.csv")), expected);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(message(0), "Export Done | 4 lines written to " + reg_->path("whole.csv") + ".");
    }

    void export_database_failures() {
        prompts_->files << "";  // cancelled
        press(kExportDatabase);
        QVERIFY(prompts_->messages.isEmpty());
        prompts_->files << reg_->path("no/such/folder/whole.csv");
        press(kExportDatabase);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(message(0), "Error | Cannot create " + reg_->path("no/such/folder/whole.csv") +
                                 ": file not found (error 2).");
        prompts_->files << "/dev/full";
        press(kExportDatabase);
        QCOMPARE(prompts_->messages.size(), 2);
        QCOMPARE(message(1),
                 QString("Error | Cannot write /dev/full: the disk is full (error 112)."));
    }

    void empty_database_no_changes_nothing() {
        prompts_->answers << false;
        press(kEmptyDatabase);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].caption, QString("Are you sure?"));
        QVERIFY(prompts_->messages[0].text.startsWith("Database will be Emptied! Its 4 checks "));
        QVERIFY(prompts_->messages[0].buttons == ledgrove::ui::MessageButtons::YesNo);
        QCOMPARE(reg_->record_count(), 4u);
        QCOMPARE(listed().size(), 4u);
    }

    void empty_question_defaults_to_no() {
        // The real message box: Enter must answer No.
        when_modal([](QWidget *box) { QTest::keyClick(box, Qt::Key_Return); });
        QVERIFY(!ledgrove::ui::real_prompts().message(dialog_.get(), "Empty?", "Are you sure?",
                                                      ledgrove::ui::MessageButtons::YesNo));
    }

    void empty_database_yes_empties() {
        QSignalSpy emptied(dialog_.get(), &AdvancedOptionsDialog::register_emptied);
        press(kEmptyDatabase);
        QCOMPARE(prompts_->messages.size(), 2);
        QCOMPARE(prompts_->messages[1].caption, QString("Success!"));
        // The message names the copy of the checks, beside the register.
        const QRegularExpression copy("ChkREG-before-empty-\\d{8}-\\d{6}\\.csv");
        const QString name = copy.match(prompts_->messages[1].text).captured();
        QVERIFY2(!name.isEmpty(), qPrintable(prompts_->messages[1].text));
        QCOMPARE(QByteArray::fromStdString(ui_test::read_file(reg_->path(name))).count("\r\n"), 4);
        QCOMPARE(emptied.count(), 1);
        QVERIFY(reg_->set().is_open());
        QCOMPARE(reg_->record_count(), 0u);
        QCOMPARE(listed().size(), 0u);
    }

    void empty_database_without_empty_dbf_keeps_the_register() {
        QVERIFY(QFile::remove(reg_->path("empty.dbf")));
        press(kEmptyDatabase);
        QCOMPARE(prompts_->messages.size(), 2);
        QCOMPARE(prompts_->messages[1].caption, QString("Error"));
        QCOMPARE(reg_->record_count(), 4u);
        QCOMPARE(listed().size(), 4u);
    }

    void import_cancelled_does_nothing() {
        QSignalSpy ended(dialog_.get(), &AdvancedOptionsDialog::end_program);
        press(kImportRecords);
        QCOMPARE(prompts_->file_titles, QStringList{"Import Data from CSV"});
        QVERIFY(prompts_->file_kinds[0] == ledgrove::ui::FileChoice::Open);
        QVERIFY(prompts_->messages.isEmpty());
        QCOMPARE(ended.count(), 0);
        QVERIFY(dialog_->isVisible());
        QCOMPARE(reg_->record_count(), 4u);
    }

    void import_unreadable_file() {
        QSignalSpy ended(dialog_.get(), &AdvancedOptionsDialog::end_program);
        prompts_->files << reg_->path("missing.csv");
        press(kImportRecords);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(message(0), "Error | Cannot read " + reg_->path("missing.csv") +
                                 ": file not found (error 2).");
        QCOMPARE(ended.count(), 0);
        QCOMPARE(reg_->record_count(), 4u);
    }

    void import_without_records() {
        // The register's own format, but no line is a check.
        QSignalSpy ended(dialog_.get(), &AdvancedOptionsDialog::end_program);
        std::string line = ledgrove::csv_line_from_record(ui_test::ranked_checks()[0]);
        line.replace(line.find(",20.00"), 6, ",lots ");
        QVERIFY(ui_test::write_file(reg_->path("junk.csv"), line));
        prompts_->files << reg_->path("junk.csv");
        press(kImportRecords);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].caption, QString("Error"));
        QVERIFY(prompts_->messages[0].text.contains("line 1:"));
        QVERIFY(prompts_->messages[0].text.contains("could be imported"));
        QCOMPARE(ended.count(), 0);
        QCOMPARE(reg_->record_count(), 4u);
    }

    void mapping_problems_are_plain_sentences() {
        ImportMappingDialog mapping(kPublished, "published.csv");
        mapping.column_box(ledgrove::Target::Date)->setCurrentIndex(0);  // (none)
        QCOMPARE(mapping.problem()->text(), QString("No column is chosen for the date."));
    }

    void read_only_register_refuses_changes() {
        kvl_test::MemoryLayer faults(kvl_test::MemoryLayer::kBuiltIn);
        faults.refuse_writable_opens(KVL_WIN_WRITE_PROTECT);
        ledgrove::DatabaseSet set(reg_->path("").toStdString(), faults.table());
        set.open();
        QVERIFY(set.read_only());
        AdvancedOptionsDialog dialog(set);
        for (int id : {kImportRecords, kEmptyDatabase, kReIndexDatabase})
            dialog.command(id);
        QCOMPARE(prompts_->messages.size(), 3);
        for (const ui_test::Message &m : prompts_->messages)
            QCOMPARE(m.text, QString::fromLatin1(ledgrove::messages::kReadOnlyRegister));
        QVERIFY(prompts_->file_titles.isEmpty());
        QCOMPARE(set.data()->header.record_count, 4u);
    }

    void import_published_register() {
        QSignalSpy ended(dialog_.get(), &AdvancedOptionsDialog::end_program);
        QVERIFY(ui_test::write_file(reg_->path("published.csv"), kPublished));
        prompts_->files << reg_->path("published.csv");
        QStringList guessed;
        QString preview;
        when_modal([&](QWidget *modal) {
            auto *mapping = qobject_cast<ImportMappingDialog *>(modal);
            if (!mapping) return;
            for (std::size_t t = 0; t < ledgrove::kTargetCount; ++t)
                guessed << mapping->column_box(ledgrove::kTargets[t].target)->currentText();
            preview = mapping->preview()->toPlainText();
            QTest::mouseClick(mapping->import_button(), Qt::LeftButton);
        });
        press(kImportRecords);
        QCOMPARE(guessed, (QStringList{"1: Check Number", "2: Check Date", "(none)", "3: Payee",
                                       "(none)", "4: Description", "5: Amount"}));
        // The first rows as the register will list them, and the row that is no check.
        QVERIFY2(preview.contains(QString::fromUtf8("101282 03/15/2024            ACME, INC.")),
                 qPrintable(preview));
        QVERIFY(preview.contains("1,234.50"));
        QVERIFY(preview.contains("row 4: not a check"));

        QCOMPARE(prompts_->messages.size(), 2);
        QCOMPARE(prompts_->messages[0].caption, QString("Import Records"));
        QVERIFY(prompts_->messages[0].text.contains("Rows written: 2"));
        QVERIFY(prompts_->messages[0].text.contains("Rows skipped: 1"));
        QCOMPARE(message(1), QString("Exit and ReStart! | Data Imported! "));
        QCOMPARE(ended.count(), 1);
        QCOMPARE(reg_->record_count(), 6u);
        const std::vector<std::string> lines = listed(ledgrove::SortOrder::VendorName);
        QCOMPARE(lines.size(), 6u);
        QVERIFY(QString::fromStdString(lines[0]).startsWith("101282 03/15/2024"));
        QVERIFY(QString::fromStdString(lines[0]).endsWith("1,234.50"));
    }

    void mapping_that_cannot_work_imports_nothing() {
        QSignalSpy ended(dialog_.get(), &AdvancedOptionsDialog::end_program);
        QVERIFY(ui_test::write_file(reg_->path("notes.csv"), "just some words\nand more\n"));
        prompts_->files << reg_->path("notes.csv");
        bool import_enabled = true;
        QString problem;
        when_modal([&](QWidget *modal) {
            auto *mapping = qobject_cast<ImportMappingDialog *>(modal);
            if (!mapping) return;
            import_enabled = mapping->import_button()->isEnabled();
            problem = mapping->problem()->text();
            mapping->reject();
        });
        press(kImportRecords);
        QVERIFY(!import_enabled);
        QVERIFY(!problem.isEmpty());
        QVERIFY(prompts_->messages.isEmpty());
        QCOMPARE(ended.count(), 0);
        QCOMPARE(reg_->record_count(), 4u);
    }

    void import_adds_rebuilds_and_ends() {
        QSignalSpy ended(dialog_.get(), &AdvancedOptionsDialog::end_program);
        const ledgrove::CheckRecord extra = ui_test::accented_check();
        QVERIFY(ui_test::write_file(reg_->path("more.csv"),
                                    ledgrove::csv_line_from_record(extra) + "short line\r\n"));
        prompts_->files << reg_->path("more.csv");
        press(kImportRecords);
        QCOMPARE(prompts_->messages.size(), 2);
        QCOMPARE(prompts_->messages[0].caption, QString("Import Records"));
        QVERIFY(prompts_->messages[0].text.contains("line 2:"));
        QCOMPARE(message(1), QString("Exit and ReStart! | Data Imported! "));
        QCOMPARE(ended.count(), 1);
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(reg_->record_count(), 5u);
        // The indexes were rebuilt: every order finds the new check.
        QVERIFY(reg_->set().is_open());
        for (int order = 0; order < ledgrove::kSortOrderCount; ++order)
            QCOMPARE(listed(static_cast<ledgrove::SortOrder>(order)).size(), 5u);
    }

    void reindex_restores_a_lost_index() {
        reg_->set().close();
        QVERIFY(QFile::remove(reg_->path("ChkRNAM.IX4")));
        reg_->set().open();
        QVERIFY(!reg_->set().failures().empty());
        QCOMPARE(listed(ledgrove::SortOrder::VendorName).size(), 0u);
        press(kReIndexDatabase);
        QVERIFY(prompts_->messages.isEmpty());
        QVERIFY(reg_->set().failures().empty());
        QCOMPARE(listed(ledgrove::SortOrder::VendorName).size(), 4u);
    }

    void important_information_opens_the_notes() {
        press(kImportantInformation);
        QCOMPARE(prompts_->urls.size(), 1);
        QVERIFY(prompts_->urls[0].isLocalFile());
        QCOMPARE(QFileInfo(prompts_->urls[0].toLocalFile()).canonicalFilePath(),
                 QFileInfo(reg_->path("ReadMe.txt")).canonicalFilePath());
    }

    void escape_closes() {
        QTest::keyClick(dialog_.get(), Qt::Key_Escape);
        QVERIFY(!dialog_->isVisible());
    }

    void progress_figures_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("percent");
        QTest::addColumn<int>("overall");
        QTest::newRow("start") << 0 << 0 << 0;
        QTest::newRow("half the first") << 0 << 50 << 6;
        QTest::newRow("fourth done") << 3 << 100 << 50;
        QTest::newRow("last done") << 7 << 100 << 100;
        QTest::newRow("engine beyond 100") << 7 << 250 << 100;
    }

    void progress_figures() {
        QFETCH(int, step);
        QFETCH(int, percent);
        QFETCH(int, overall);
        const ledgrove::RebuildProgress p{static_cast<std::size_t>(step), 8, "ChkRCID.IX4",
                                          static_cast<std::uint32_t>(percent)};
        QCOMPARE(ledgrove::ui::rebuild_progress_percent(p), overall);
        QCOMPARE(ledgrove::ui::rebuild_progress_text(p),
                 QStringLiteral("Rebuilding index %1 of 8: ChkRCID.IX4").arg(step + 1));
        QCOMPARE(ledgrove::ui::import_progress_percent({10, 250, 1000}), 25);
        QCOMPARE(ledgrove::ui::import_progress_text({12288, 0, 0}),
                 QString("Importing records: 12,288 lines read"));
    }
};

QTEST_MAIN(AdvancedOptionsTest)
#include "advanced_options_test.moc"
