// maintenance.cc - the maintenance commands and their messages.
#include "app/ui/maintenance.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <optional>

#include "app/maint/empty_register.h"
#include "app/maint/export_register.h"
#include "app/output/csv_file.h"
#include "app/output/messages.h"
#include "app/ui/ansi_text.h"
#include "app/ui/import_mapping_dialog.h"
#include "app/ui/search_window.h"
#include "app/ui/user_prompts.h"
#include "app/ui/work_progress.h"

namespace ledgrove::ui {
namespace {

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

Maintenance::Maintenance(DatabaseSet &set, QWidget *owner)
    : QObject(owner), set_(set), owner_(owner) {}

bool Maintenance::refused_read_only() {
    if (!set_.read_only()) return false;
    show_message(owner_, messages::kReadOnlyRegister, messages::kErrorCaption);
    return true;
}

// The steps leave the set open or closed as they found it; opening it again
// in any case also reads its read-only state and failures afresh.
void Maintenance::reopen() {
    set_.open();
    emit register_changed();
}

void Maintenance::export_database() {
    const QString path = choose_file(owner_, FileChoice::Save, QString::fromLatin1(kExportTitle));
    if (path.isEmpty()) return;
    const std::string csv_path = path.toStdString();
    const messages::Notice notice = export_notice(export_register(set_, csv_path), csv_path);
    show_message(owner_, notice.text, notice.caption);
}

void Maintenance::empty_database() {
    if (refused_read_only()) return;
    const std::size_t checks = set_.data_open() ? set_.data()->header.record_count : 0;
    if (!show_message(owner_, messages::empty_question(checks), messages::kEmptyQuestionCaption,
                      MessageButtons::YesNo))
        return;
    EmptyReport report;
    {
        WorkProgress progress(owner_, QStringLiteral("Empty Database"));
        report = empty_register(set_, set_.path(kEmptyDataFileName), progress.rebuild_observer());
    }
    if (!report.error.empty()) {
        show_message(owner_, report.error, messages::kErrorCaption);
        return;
    }
    reopen();
    show_message(owner_, messages::emptied(report.backup_path, report.backed_up, report.data_file_copied),
                 messages::kEmptiedCaption);
    if (!report.rebuild.ok())
        show_message(owner_, rebuild_failures_text(report.rebuild), messages::kErrorCaption);
}

void Maintenance::import_records() {
    if (refused_read_only()) return;
    const QString path = choose_file(owner_, FileChoice::Open, QString::fromLatin1(kImportTitle));
    if (path.isEmpty()) return;
    std::string csv_path = path.toStdString();

    // A published register goes through the column mapping first and is
    // imported from the register lines it converts to.
    QTemporaryDir converted_dir;
    if (std::optional<std::string> text = read_whole_file(path); text && !is_register_text(*text)) {
        ImportMappingDialog mapping(std::move(*text), path, owner_);
        if (mapping.exec() != QDialog::Accepted) return;
        csv_path = converted_dir.filePath(QStringLiteral("converted.csv")).toStdString();
        if (!write_whole_file(csv_path, mapping.register_text())) {
            show_message(owner_, "cannot write the converted records to " + csv_path,
                         messages::kErrorCaption);
            return;
        }
        show_message(owner_, report_summary(mapping.report()), messages::kImportedCaption);
    }

    ImportReport report;
    {
        WorkProgress progress(owner_, QString::fromLatin1(messages::kImportedCaption.data(),
                                                          messages::kImportedCaption.size()));
        report = import_csv(set_, csv_path, progress.import_observer());
    }
    if (report.imported == 0) {
        if (report.file_error != 0)
            show_message(owner_, messages::file_read_failure(csv_path, report.file_error),
                         messages::kErrorCaption);
        else
            show_message(owner_, skipped_lines_text(report), messages::kErrorCaption);
        return;
    }
    // The new records reach the searches through rebuilt indexes.
    rebuild_with_progress();
    reopen();
    std::string text = messages::imported(report.imported, report.imported_cents);
    if (const std::string skipped = skipped_lines_text(report); !skipped.empty())
        text += "\n\n" + skipped;
    show_message(owner_, text, messages::kImportedCaption);
}

void Maintenance::reindex_database() {
    if (refused_read_only()) return;
    const bool rebuilt = rebuild_with_progress();
    reopen();
    if (rebuilt) emit done(from_ansi(messages::kReIndexed));
}

// False, after telling why, when an index could not be rebuilt.
bool Maintenance::rebuild_with_progress() {
    RebuildReport report;
    {
        WorkProgress progress(owner_, QString::fromLatin1(kReIndexFailedCaption));
        report = rebuild_all_indexes(set_, progress.rebuild_observer());
    }
    if (report.ok()) return true;
    show_message(owner_, rebuild_failures_text(report), messages::kErrorCaption);
    return false;
}

void Maintenance::important_information() {
    const QString notes = QFileInfo(QString::fromStdString(set_.path(kReadMeFileName))).absoluteFilePath();
    prompts().open_url(QUrl::fromLocalFile(notes));
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
