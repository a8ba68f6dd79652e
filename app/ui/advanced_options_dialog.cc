// advanced_options_dialog.cc - the maintenance commands.
#include "app/ui/advanced_options_dialog.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <optional>

#include "app/maint/empty_register.h"
#include "app/maint/export_register.h"
#include "app/output/csv_file.h"
#include "app/output/messages.h"
#include "app/ui/control_ids.h"
#include "app/ui/import_mapping_dialog.h"
#include "app/ui/search_dialog.h"
#include "app/ui/user_prompts.h"
#include "app/ui/work_progress.h"

namespace ledgrove::ui {
namespace {

using namespace control::advanced;
using K = ControlKind;

constexpr DialogTemplate kAdvancedDialog = {"Advanced Options", 263, 114};

constexpr ControlTemplate kAdvancedControls[] = {
    {K::Button, kExportDatabase, "Export Database", 7, 7, 63, 14},
    {K::Button, kEmptyDatabase, "Empty Database", 7, 35, 63, 14},
    {K::Button, kImportRecords, "Import Records", 7, 63, 63, 14},
    {K::Button, kReIndexDatabase, "ReIndex Database", 7, 91, 63, 14},
    {K::Button, kImportantInformation, "Important Information", 177, 93, 79, 14},
    {K::Label, kNoId,
     "Ledgrove can be used to manage Check Register data in an ongoing fashion. ", 95, 15, 150,
     19},
    {K::Label, kNoId,
     "Here you can export the entire database for external management. You can import new "
     "records, or empty the database and start over.",
     95, 33, 150, 35},
    {K::Label, kNoId,
     "You can also Re-Index the database, in case the index files are damaged.", 95, 70, 150,
     19},
};

// As a Tab key press would, once this dialog is gone: the focus moves on in
// the window below.
void tab_in_window_below() {
    QTimer::singleShot(0, [] {
        if (QWidget *focus = QApplication::focusWidget()) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(focus, &tab);
        }
    });
}

// The file's text; nothing when it cannot be read (the import then says why).
std::optional<std::string> read_whole_file(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes.toStdString();
}

bool write_whole_file(const std::string &path, const std::string &text) {
    CsvFileWriter file;
    if (file.create(path) != 0) return false;
    file.write(text);
    return file.finish() == 0;
}

}  // namespace

AdvancedOptionsDialog::AdvancedOptionsDialog(DatabaseSet &set, QWidget *owner)
    : QDialog(owner), set_(set) {
    setObjectName(QStringLiteral("advancedOptions"));
    controls_ = build_dialog(*this, kAdvancedDialog, kAdvancedControls);
    for (int id : {kExportDatabase, kEmptyDatabase, kImportRecords, kReIndexDatabase,
                   kImportantInformation}) {
        auto *button = controls_.get<QPushButton>(id);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
    }
}

QWidget *AdvancedOptionsDialog::owner() const {
    return parentWidget() ? parentWidget() : const_cast<AdvancedOptionsDialog *>(this);
}

void AdvancedOptionsDialog::command(int id) {
    switch (id) {
        case kExportDatabase: return export_database();
        case kEmptyDatabase: return empty_database();
        case kImportRecords: return import_records();
        case kReIndexDatabase: return reindex_database();
        case kImportantInformation: return important_information();
        case control::kCancel: return reject();
        default: return;
    }
}

void AdvancedOptionsDialog::reject() {
    QDialog::reject();
    tab_in_window_below();
}

bool AdvancedOptionsDialog::refused_read_only() {
    if (!set_.read_only()) return false;
    show_message(owner(), messages::kReadOnlyRegister, messages::kErrorCaption);
    return true;
}

void AdvancedOptionsDialog::export_database() {
    const QString path = choose_file(owner(), FileChoice::Save, QString::fromLatin1(kExportTitle));
    if (path.isEmpty()) return;
    const std::string csv_path = path.toStdString();
    const messages::Notice notice = export_notice(export_register(set_, csv_path), csv_path);
    show_message(owner(), notice.text, notice.caption);
}

void AdvancedOptionsDialog::empty_database() {
    if (refused_read_only()) return;
    const std::size_t checks = set_.data_open() ? set_.data()->header.record_count : 0;
    if (!show_message(owner(), messages::empty_question(checks), messages::kEmptyQuestionCaption,
                      MessageButtons::YesNo))
        return;
    EmptyReport report;
    {
        WorkProgress progress(this, QStringLiteral("Empty Database"));
        report = empty_register(set_, set_.path(kEmptyDataFileName), progress.rebuild_observer());
    }
    if (!report.error.empty()) {
        show_message(owner(), report.error, messages::kErrorCaption);
        return;
    }
    emit register_emptied();
    show_message(owner(), messages::emptied(report.backup_path, report.backed_up, report.data_file_copied),
                 messages::kEmptiedCaption);
    if (!report.rebuild.ok())
        show_message(owner(), rebuild_failures_text(report.rebuild), messages::kErrorCaption);
}

void AdvancedOptionsDialog::import_records() {
    if (refused_read_only()) return;
    const QString path = choose_file(owner(), FileChoice::Open, QString::fromLatin1(kImportTitle));
    if (path.isEmpty()) return;
    std::string csv_path = path.toStdString();

    // A published register goes through the column mapping first and is
    // imported from the register lines it converts to.
    QTemporaryDir converted_dir;
    if (std::optional<std::string> text = read_whole_file(path); text && !is_register_text(*text)) {
        ImportMappingDialog mapping(std::move(*text), path, this);
        if (mapping.exec() != QDialog::Accepted) return;
        csv_path = converted_dir.filePath(QStringLiteral("converted.csv")).toStdString();
        if (!write_whole_file(csv_path, mapping.register_text())) {
            show_message(owner(), "cannot write the converted records to " + csv_path,
                         messages::kErrorCaption);
            return;
        }
        show_message(owner(), report_summary(mapping.report()), kImportCaption);
    }

    ImportReport report;
    {
        WorkProgress progress(this, QString::fromLatin1(kImportCaption));
        report = import_csv(set_, csv_path, progress.import_observer());
    }
    if (report.imported == 0) {
        if (report.file_error != 0)
            show_message(owner(), messages::file_read_failure(csv_path, report.file_error),
                         messages::kErrorCaption);
        else
            show_message(owner(), skipped_lines_text(report), messages::kErrorCaption);
        return;
    }
    if (const std::string skipped = skipped_lines_text(report); !skipped.empty())
        show_message(owner(), skipped, kImportCaption);

    // Importing always ends in a restart: the program then starts on
    // indexes that hold the new records.
    QPointer<AdvancedOptionsDialog> self(this);
    show_message(owner(), messages::kImported, messages::kImportedCaption);
    rebuild_with_progress();
    if (!self) return;
    accept();
    emit end_program();
}

void AdvancedOptionsDialog::reindex_database() {
    if (refused_read_only()) return;
    rebuild_with_progress();
}

void AdvancedOptionsDialog::rebuild_with_progress() {
    RebuildReport report;
    {
        WorkProgress progress(this, QStringLiteral("ReIndex Database"));
        report = rebuild_all_indexes(set_, progress.rebuild_observer());
    }
    if (!report.ok())
        show_message(owner(), rebuild_failures_text(report), messages::kErrorCaption);
}

void AdvancedOptionsDialog::important_information() {
    const QString notes = QFileInfo(QString::fromStdString(set_.path(kReadMeFileName))).absoluteFilePath();
    prompts().open_url(QUrl::fromLocalFile(notes));
}

AdvancedOptionsDialog *shown_advanced_options(QWidget *owner) {
    if (!owner) return nullptr;
    for (AdvancedOptionsDialog *dialog : owner->findChildren<AdvancedOptionsDialog *>())
        if (dialog->isVisible()) return dialog;
    return nullptr;
}

std::string skipped_lines_text(const ImportReport &report) {
    std::string text;
    if (!report.skipped.empty()) {
        text += std::to_string(report.skipped.size()) + " lines of the file were not imported:\n";
        for (std::size_t i = 0; i < report.skipped.size() && i < kListedSkippedLines; ++i)
            text += "line " + std::to_string(report.skipped[i].line_number) + ": " +
                    report.skipped[i].reason + "\n";
        if (report.skipped.size() > kListedSkippedLines) text += "...\n";
    }
    if (report.blank_lines > 0)
        text += messages::count_of(report.blank_lines, "blank line was", "blank lines were") +
                " passed over.\n";
    if (!report.error.empty()) text += report.error + "\n";
    return text;
}

std::string rebuild_failures_text(const RebuildReport &report) {
    std::string text;
    if (!report.error.empty()) text += report.error + "\n";
    for (const RebuildFailure &f : report.failures)
        text += f.file_name + ": " + f.stage + " failed (error " + std::to_string(f.result) + ")\n";
    return text;
}

}  // namespace ledgrove::ui
