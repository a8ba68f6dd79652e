// search_menus.cc - the search window's second half: the Searches menu
// (saved, recent and last searches, "Copy as Command"), the summary's copy
// and print, and the standard exports and the chart from the File menu.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>

#include "app/chart/chart_file.h"
#include "app/chart/summary_chart.h"
#include "app/output/command_line.h"
#include "app/output/messages.h"
#include "app/output/report_text.h"
#include "app/output/result_export.h"
#include "app/output/table_export.h"
#include "app/search/result_lines.h"
#include "app/ui/ansi_text.h"
#include "app/ui/control_ids.h"
#include "app/ui/dialog_template.h"
#include "app/ui/report_printer.h"
#include "app/ui/result_view.h"
#include "app/ui/saved_searches.h"
#include "app/ui/search_window.h"
#include "app/ui/summary_view.h"
#include "app/ui/user_prompts.h"

namespace ledgrove::ui {
namespace {

using namespace control;

constexpr int kLinesTab = 0, kSummaryTab = 1;
// A recent search's item shows this much of its criteria in words.
constexpr qsizetype kRecentCaptionLength = 100;

// The parameters that shape the list but not the sums: left out of a
// summary's command line.
bool lists_only(const std::string &name) {
    return name == "order" || name == "reverse" || name == "subtotals" || name == "by-month";
}

SearchRequest request_of(const Criteria &criteria) {
    SearchRequest request;
    for (const NamedValue &v : criteria) set_search_parameter(request, v.name, v.value);
    return request;
}

// A recent search in words: "Checks dated 03/01/2019 to 03/31/2019, in Date
// order. Subtotals. Summarized by Vendor."
QString criteria_caption(const Criteria &criteria) {
    const SearchRequest request = request_of(criteria);
    QString text;
    for (const std::string &line : criteria_lines(request.inputs, request.order, 1000))
        text += (text.isEmpty() ? "" : " ") + from_ansi(line);
    for (const NamedValue &v : criteria)
        if (v.name == "by")
            text += QStringLiteral(" Summarized by %1.")
                        .arg(from_ansi(summary_group_caption(request.summary.by)));
    if (text.size() > kRecentCaptionLength) text = text.left(kRecentCaptionLength - 3) + "...";
    return text.replace('&', QStringLiteral("&&"));  // no mnemonic in it
}

QString register_folder(DatabaseSet &set) {
    return QDir(QString::fromStdString(set.directory().empty() ? "." : set.directory())).absolutePath();
}

}  // namespace

// ---- The Searches menu ----

void SearchWindow::build_search_menu() {
    // Every letter of "Searches" is taken by a field or button already: the
    // menu opens from the menu bar, its items by their keys.
    QMenu *searches = menuBar()->addMenu(tr("Searches"));
    auto item = [this](QMenu *menu, int id, const QString &text, auto slot, QKeySequence key = {}) {
        QAction *action = menu->addAction(text, this, slot);
        action->setObjectName(object_name(id));
        action->setShortcut(key);
        return action;
    };
    item(searches, menu::kSaveSearch, tr("&Save Search..."), [this] { save_search_as(); },
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    saved_menu_ = searches->addMenu(tr("Saved Searches"));
    recent_menu_ = searches->addMenu(tr("Recent Searches"));
    delete_menu_ = searches->addMenu(tr("Delete Saved Search"));
    saved_menu_->setObjectName(object_name(menu::kSavedSearches));
    recent_menu_->setObjectName(object_name(menu::kRecentSearches));
    delete_menu_->setObjectName(object_name(menu::kDeleteSearch));
    searches->addSeparator();
    item(searches, menu::kCopyCommand, tr("Copy as &Command"), [this] { copy_command(); },
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    refresh_search_menus();
}

void SearchWindow::refresh_search_menus() {
    for (QMenu *menu : {saved_menu_, recent_menu_, delete_menu_}) menu->clear();
    for (const QString &name : saved_search_names()) {
        QString shown = name;
        shown.replace('&', QStringLiteral("&&"));
        saved_menu_->addAction(shown, this, [this, name] {
            if (const std::optional<Criteria> saved = saved_search(name)) recall(*saved);
        });
        delete_menu_->addAction(shown, this, [this, name] {
            if (!show_message(this, to_ansi(QString::fromStdString(messages::delete_search_question(
                                                 name.toStdString()))),
                              messages::kDeleteSearchCaption, MessageButtons::YesNo))
                return;
            delete_saved_search(name);
            refresh_search_menus();
        });
    }
    for (const Criteria &criteria : recent_searches())
        recent_menu_->addAction(criteria_caption(criteria), this, [this, criteria] { recall(criteria); });
    for (QMenu *menu : {saved_menu_, recent_menu_, delete_menu_})
        if (menu->isEmpty()) menu->addAction(tr("(none)"))->setEnabled(false);
}

void SearchWindow::save_search_as() {
    const QString name = prompts().text(this, from_ansi(messages::kSaveSearchCaption),
                                        from_ansi(messages::kSaveSearchLabel));
    if (name.isEmpty()) return;
    save_search(name, criteria_values());
    refresh_search_menus();
}

// A recalled search runs at once, as Report would run it.
void SearchWindow::recall(const std::vector<NamedValue> &values) {
    set_criteria(values);
    command(kReport);
}

QString SearchWindow::command_line() const {
    const bool summary = summarizing();
    std::vector<NamedValue> values;
    for (NamedValue &v : search_parameter_values(criteria(), summary))
        if (!summary || !lists_only(v.name)) values.push_back(std::move(v));
    // The folder is the file system's text, the criteria the register's.
    const std::string folder = register_folder(set_).toStdString();
    const std::string head = cli_command_line(folder, summary ? "summary" : "search", {});
    const std::string tail = cli_command_line("", "", values).substr(kCliProgram.size() + 1);
    return QString::fromStdString(head) + from_ansi(tail);
}

void SearchWindow::copy_command() {
    QGuiApplication::clipboard()->setText(command_line());
    statusBar()->showMessage(from_ansi(messages::kCommandCopied), 8000);
}

// ---- The summary ----

bool SearchWindow::summary_shown() const { return tabs_->currentIndex() == kSummaryTab; }

bool SearchWindow::no_summary(std::string_view caption) {
    if (summary_view_->summary()) return false;
    show_message(this, messages::kNoSummary, caption);
    return true;
}

// After Report or a recalled search: the tab of what was asked for.
void SearchWindow::show_summary_if_asked() {
    tabs_->setCurrentIndex(summary_view_->summary() ? kSummaryTab : kLinesTab);
}

void SearchWindow::copy_summary() {
    if (no_summary(messages::kNoSelectionCaption)) return;
    QGuiApplication::clipboard()->setText(summary_view_->copy_text());
    summary_view_->table()->clearSelection();
}

void SearchWindow::print_summary() {
    if (no_summary(kPrintCaption)) return;
    const Summary &summary = *summary_view_->summary();
    TableReport report;
    report.title = register_folder(set_);
    for (const std::string &line : criteria_lines(shown_inputs_, order_, kResultLineWidth))
        report.criteria << from_ansi(line);
    report.criteria << tr("Summarized by %1.").arg(from_ansi(summary_group_caption(summary.options.by)));
    report.header = summary_view_->header();
    report.rows = summary_view_->rows();
    report.text_columns = summary.options.by == SummaryGroup::Vendor ? 2 : 1;
    report.closing = QString::fromStdString(
        messages::summary_total(summary.rows.size(), summary.checks, summary.total_cents));
    print_table_report(this, report);
}

// ---- Standard exports and the chart ----

std::optional<SearchWindow::TableFile> SearchWindow::choose_table_file(const QString &title) {
    const QString path = choose_file(this, FileChoice::SaveTable, title);
    if (path.isEmpty()) return std::nullopt;
    const std::optional<TableFormat> format = table_format_of(path.toStdString());
    if (!format) {
        show_message(this, to_ansi(QString::fromStdString(messages::not_a_table_file(path.toStdString()))),
                     messages::kExportTableCaption);
        return std::nullopt;
    }
    return TableFile{path.toStdString(), *format};
}

void SearchWindow::export_lines() {
    if (results_.empty()) {
        show_message(this, messages::kNothingToExport, messages::kExportTableCaption);
        return;
    }
    const std::optional<TableFile> file = choose_table_file(tr("Export Lines"));
    if (!file) return;
    // The selected check lines by their places among the checks listed: the
    // same search, walked again, hands on the same checks in the same order.
    std::vector<std::size_t> picked;
    if (view_->selectionModel()->hasSelection()) {
        const std::vector<std::size_t> rows = selected_rows();
        std::size_t next = 0, place = 0;
        for (std::size_t r = 0; r < results_.size() && next < rows.size(); ++r) {
            const bool check = is_record_line(results_.line(r));
            if (rows[next] == r) {
                if (check) picked.push_back(place);
                ++next;
            }
            place += check;
        }
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const TableExport done =
        picked.empty() ? export_search_table(set_, order_, shown_inputs_, file->path, file->format)
                       : export_search_table(set_, order_, shown_inputs_, file->path, file->format, picked);
    QGuiApplication::restoreOverrideCursor();
    show_message(this, to_ansi(QString::fromStdString(done.notice.text)), done.notice.caption);
    if (done.ok) view_->clearSelection();
}

void SearchWindow::export_summary() {
    if (no_summary(messages::kExportTableCaption)) return;
    const std::optional<TableFile> file = choose_table_file(tr("Export Summary"));
    if (!file) return;
    const TableExport done = export_summary_table(*summary_view_->summary(), file->path, file->format);
    show_message(this, to_ansi(QString::fromStdString(done.notice.text)), done.notice.caption);
}

void SearchWindow::save_chart() {
    if (no_summary(messages::kChartCaption)) return;
    const QString path = choose_file(this, FileChoice::SaveChart, tr("Save Chart"));
    if (path.isEmpty()) return;
    const std::string file = path.toStdString();
    std::string told;
    if (!is_chart_file_name(file))
        told = messages::not_a_chart_file(file);
    else if (const std::optional<std::string> failure = save_summary_chart(
                 *summary_view_->summary(), file, kDefaultChartSize.width(), kDefaultChartSize.height()))
        told = *failure;
    else
        told = messages::chart_written(file);
    show_message(this, to_ansi(QString::fromStdString(told)), messages::kChartCaption);
}

}  // namespace ledgrove::ui
