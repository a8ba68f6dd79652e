// search_dialog.cc - the search dialog's template and commands.
#include "app/ui/search_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QUrl>
#include <chrono>

#include "app/output/messages.h"
#include "app/output/result_export.h"
#include "app/search/date_range.h"
#include "app/search/result_lines.h"
#include "app/search/search.h"
#include "app/ui/advanced_options_dialog.h"
#include "app/ui/ansi_text.h"
#include "app/ui/control_ids.h"
#include "app/search/date_step.h"
#include "app/ui/report_printer.h"
#include "app/ui/result_model.h"
#include "app/ui/user_prompts.h"

namespace ledgrove::ui {
namespace {

using namespace control;
using K = ControlKind;

constexpr DialogTemplate kSearchDialog = {"Check Register Inquiry", 618, 356};

// The template, in tab order.
constexpr ControlTemplate kSearchControls[] = {
    {K::Label, kNoId, "Version 2.1", 6, 0, 36, 8},
    {K::DefaultButton, kReport, "Report", 17, 11, 50, 14},
    {K::Button, kPrint, "Print", 17, 30, 50, 14},
    {K::Button, kExport, "Export", 17, 49, 50, 14},
    {K::GroupBox, kNoId, "Date Range Select", 79, 7, 290, 68},
    {K::Label, kFromMonthLabel, "MM", 131, 18, 14, 8},
    {K::Label, kFromDayLabel, "DD", 169, 18, 14, 8},
    {K::Label, kFromYearLabel, "YYYY", 201, 18, 24, 8},
    {K::Label, kFromDateLabel, "From Date:", 89, 29, 36, 8},
    {K::ComboBox, kFromMonth, "", 129, 26, 26, 66},
    {K::ComboBox, kFromDay, "", 165, 26, 26, 65},
    {K::ComboBox, kFromYear, "", 197, 26, 34, 72},
    {K::Button, kFromStepBack, "-", 235, 26, 9, 14},
    {K::Button, kFromStepForward, "+", 248, 26, 9, 14},
    {K::Edit, kFromStepDays, "", 260, 26, 12, 14},
    {K::Button, kAll, "ALL", 276, 26, 16, 14},
    {K::Label, kNoId, "Years:", 297, 28, 20, 8},
    {K::ComboBox, kYears, "", 319, 26, 40, 73},
    {K::Label, kToMonthLabel, "MM", 131, 41, 14, 8},
    {K::Label, kToDayLabel, "DD", 167, 41, 14, 8},
    {K::Label, kToYearLabel, "YYYY", 199, 41, 24, 8},
    {K::Label, kToDateLabel, "To Date:", 95, 51, 29, 8},
    {K::ComboBox, kToMonth, "", 129, 50, 26, 51},
    {K::ComboBox, kToDay, "", 165, 50, 26, 49},
    {K::ComboBox, kToYear, "", 197, 50, 34, 49},
    {K::Button, kToStepBack, "-", 235, 48, 9, 14},
    {K::Button, kToStepForward, "+", 247, 48, 9, 14},
    {K::Edit, kToStepDays, "", 260, 48, 12, 14},
    {K::Label, kNoId, "Sort by ", 373, 14, 25, 8},
    {K::Label, kSortCaption, "Date", 398, 14, 68, 8},
    {K::Button, kDonate, "Donate!", 561, 7, 50, 14},
    {K::Button, kAdvancedOptions, "Advanced Options", 547, 75, 64, 14},
    {K::Button, kCopyToClipboard, "Copy to Clipboard", 547, 95, 64, 14},
    {K::CheckBox, kSubtotals, "Include Subtotals", 79, 79, 71, 10},
    {K::CheckBox, kSubtotalByMonth, "subtotal Dates by Month", 165, 79, 93, 10},
    {K::GroupBox, kNoId, "Match Fields", 17, 92, 446, 46},
    {K::Label, kNoId, "CheckID:", 23, 106, 43, 8},
    {K::Edit, kCheckIdText, "", 68, 103, 33, 14},
    {K::CheckBox, kMatchCase, "Match case", 104, 105, 45, 10},
    {K::Label, kNoId, "PO Number:", 150, 105, 39, 8},
    {K::Edit, kPoNumberText, "", 191, 102, 39, 14},
    {K::Label, kNoId, "Vendor Name:", 236, 106, 47, 8},
    {K::Edit, kVendorNameText, "", 285, 103, 170, 14},
    {K::Label, kNoId, "Vendor ID:", 23, 124, 43, 8},
    {K::Edit, kVendorIdText, "", 68, 121, 34, 14},
    {K::Label, kNoId, "Amount:", 136, 124, 30, 8},
    {K::ComboBox, kAmountOperator, "", 168, 121, 21, 59},
    {K::Edit, kAmountText, "", 192, 121, 47, 14},
    {K::Label, kNoId, "Description:", 243, 124, 40, 8},
    {K::Edit, kDescriptionText, "", 285, 121, 170, 14},
    {K::Label, kElapsed, kStatusLabelText, 465, 113, 56, 8},
    {K::Label, kNoId, "Records:", 466, 123, 30, 8},
    {K::Label, kRecordCount, kStatusLabelText, 499, 123, 56, 8},
    {K::Label, kUnused, kStatusLabelText, 509, 132, 56, 8},
    {K::Label, kNoId, "Check Registry Records", 202, 140, 78, 8},
    {K::Button, kSortCheckId, "sort", 10, 146, 24, 14},
    {K::Button, kSortDate, "sort", 48, 146, 24, 14},
    {K::Button, kSortVendorId, "sort", 95, 146, 24, 14},
    {K::Button, kSortVendorName, "sort", 157, 146, 24, 14},
    {K::Button, kSortPoNumber, "sort", 318, 146, 24, 14},
    {K::Button, kSortDescription, "sort", 377, 146, 24, 14},
    {K::Button, kSortAmount, "sort", 587, 146, 24, 14},
    {K::Label, kNoId, "Check ID", 9, 160, 38, 8},
    {K::Label, kNoId, "Date", 50, 160, 40, 8},
    {K::Label, kNoId, "Vendor ID", 94, 160, 50, 8},
    {K::Label, kNoId, "Vendor Name", 148, 160, 60, 8},
    {K::Label, kNoId, "PO Number", 313, 160, 50, 8},
    {K::Label, kNoId, "Description", 372, 160, 60, 8},
    {K::Label, kNoId, "Amount", 586, 160, 25, 8},
    {K::List, kResultList, "", 7, 169, 604, 169},
    {K::Label, kNoId, "Total Amount:", 493, 341, 45, 8},
    {K::Label, kTotalAmount, kStatusLabelText, 542, 341, 64, 8},
};

struct SortButton {
    int id;
    SortOrder order;
};
constexpr SortButton kSortButtons[] = {
    {kSortCheckId, SortOrder::CheckID},         {kSortDate, SortOrder::Date},
    {kSortVendorId, SortOrder::VendorID},       {kSortVendorName, SortOrder::VendorName},
    {kSortPoNumber, SortOrder::PONumber},       {kSortDescription, SortOrder::Description},
    {kSortAmount, SortOrder::Amount},
};

// The result list's horizontal extent, in pixels.
constexpr int kListExtent = 900;

constexpr const char *kAnyYear = "????";

// The match boxes, the search input each fills, and the longest text the
// search takes from it: a box takes no more, so nothing typed is cut unseen.
struct TextLimit {
    int id;
    std::string SearchInputs::*input;
    std::size_t longest;
};
constexpr TextLimit kTextLimits[] = {
    {kVendorNameText, &SearchInputs::vendor_name, search_limits::kVendorName},
    {kDescriptionText, &SearchInputs::description, search_limits::kDescription},
    {kCheckIdText, &SearchInputs::check_id, search_limits::kCheckId},
    {kPoNumberText, &SearchInputs::po_number, search_limits::kPoNumber},
    {kVendorIdText, &SearchInputs::vendor_id, search_limits::kVendorId},
    {kAmountText, &SearchInputs::amount, search_limits::kAmount},
};

// A search's expected lines, reserved up front so that filling the list
// seldom has to grow it.
constexpr std::size_t kReservedLines = 75000;
constexpr std::size_t kReservedBytes = 12884000;

QString two_digit_number(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

void add_numbers(QComboBox *combo, int first, int last, bool two_digits) {
    for (int n = first; n <= last; ++n)
        combo->addItem(two_digits ? two_digit_number(n) : QString::number(n));
}

}  // namespace

SearchDialog::SearchDialog(DatabaseSet &set, QWidget *owner) : QDialog(owner), set_(set) {
    setObjectName(QStringLiteral("searchDialog"));
    controls_ = build_dialog(*this, kSearchDialog, kSearchControls);
    view_ = controls_.get<QListView>(kResultList);
    model_ = new ResultModel(results_, this);
    view_->setModel(model_);
    view_->setFont(list_font());
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setTextElideMode(Qt::ElideNone);
    view_->setWordWrap(false);
    view_->setGridSize(QSize(kListExtent, QFontMetrics(list_font()).height()));
    view_->installEventFilter(this);  // Ctrl+C

    for (const TextLimit &limit : kTextLimits)
        controls_.get<QLineEdit>(limit.id)->setMaxLength(static_cast<int>(limit.longest));
    for (int id : {kFromStepDays, kToStepDays}) controls_.get<QLineEdit>(id)->setMaxLength(kStepDigits);
    // A typed "1" stays 1: the date boxes do not complete it into "10".
    for (int id : {kFromMonth, kFromDay, kFromYear, kToMonth, kToDay, kToYear})
        controls_.get<QComboBox>(id)->setCompleter(nullptr);

    fill_lists();
    connect_commands();
}

SearchDialog::~SearchDialog() = default;

void SearchDialog::fill_lists() {
    QComboBox *op = controls_.get<QComboBox>(kAmountOperator);
    op->addItems({"<", "=", ">"});  // the sorted order of ">", "=", "<"
    op->setCurrentIndex(1);

    for (int id : {kFromStepDays, kToStepDays}) set_control_text(id, "1");
    for (int id : {kFromMonth, kToMonth}) add_numbers(controls_.get<QComboBox>(id), 1, 12, true);
    for (int id : {kFromDay, kToDay}) add_numbers(controls_.get<QComboBox>(id), 1, 31, true);
    fill_years();
    select_all_years();
}

void SearchDialog::fill_years() {
    span_ = register_span(set_);
    QComboBox *years = controls_.get<QComboBox>(kYears);
    years->clear();
    years->addItem(kAnyYear);
    add_numbers(years, span_.first_year, span_.last_year, false);
    years->setCurrentIndex(0);
    for (int id : {kFromYear, kToYear}) {
        QComboBox *box = controls_.get<QComboBox>(id);
        const QString typed = box->currentText();
        box->clear();
        add_numbers(box, std::min(kFirstListedYear, span_.first_year), span_.last_year, false);
        box->setEditText(typed);
    }
}

void SearchDialog::connect_commands() {
    const int buttons[] = {kReport,          kPrint,         kExport,       kCopyToClipboard,
                           kAdvancedOptions, kDonate,        kFromStepBack, kFromStepForward,
                           kToStepBack,      kToStepForward, kAll};
    for (int id : buttons)
        connect(controls_.get<QPushButton>(id), &QPushButton::clicked, this, [this, id] { command(id); });
    for (const SortButton &b : kSortButtons)
        connect(controls_.get<QPushButton>(b.id), &QPushButton::clicked, this,
                [this, id = b.id] { command(id); });
    connect(controls_.get<QComboBox>(kYears), &QComboBox::activated, this,
            [this](int index) { year_chosen(index); });
}

void SearchDialog::command(int id) {
    for (const SortButton &b : kSortButtons)
        if (b.id == id) return sort_by(b.order);
    switch (id) {
        case kReport: return report();
        case kCancel: return reject();
        case kAll: return select_all_years();
        case kFromStepBack: return step(kFromMonth, kFromDay, kFromYear, kFromStepDays, -1);
        case kFromStepForward: return step(kFromMonth, kFromDay, kFromYear, kFromStepDays, +1);
        case kToStepBack: return step(kToMonth, kToDay, kToYear, kToStepDays, -1);
        case kToStepForward: return step(kToMonth, kToDay, kToYear, kToStepDays, +1);
        case kCopyToClipboard: return copy_selection();
        case kPrint: return print_selection();
        case kExport: return export_selection();
        case kAdvancedOptions: return open_advanced_options();
        case kDonate: return prompts().open_url(QUrl(QString::fromLatin1(kDonationAddress)));
        default: return;
    }
}

// ---- Controls ----

std::string SearchDialog::control_text(int id) const {
    QWidget *widget = controls_.find(id);
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) return to_ansi(edit->text());
    if (auto *combo = qobject_cast<QComboBox *>(widget)) return to_ansi(combo->currentText());
    if (auto *label = qobject_cast<QLabel *>(widget)) return to_ansi(label->text());
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) return to_ansi(button->text());
    return {};
}

bool SearchDialog::is_checked(int id) const {
    auto *box = controls_.get<QAbstractButton>(id);
    return box && box->isCheckable() && box->isChecked();
}

void SearchDialog::set_control_text(int id, std::string_view text) {
    QWidget *widget = controls_.find(id);
    const QString value = from_ansi(text);
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(value);
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setEditText(value);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(value);
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->setText(value);
}

ResultList &SearchDialog::begin_results() {
    model_->begin_change();
    return results_;
}

void SearchDialog::end_results() {
    model_->end_change();
    view_->scrollToTop();
}

// ---- Commands ----

QWidget *SearchDialog::owner() const { return parentWidget() ? parentWidget() : const_cast<SearchDialog *>(this); }

std::string SearchDialog::text_of(int id, std::size_t longest) const {
    std::string text = control_text(id);
    if (text.size() > longest) text.resize(longest);
    return text;
}

SearchInputs SearchDialog::read_inputs() const {
    namespace limit = search_limits;
    SearchInputs in;
    in.from = search_date(text_of(kFromYear, limit::kYear), text_of(kFromMonth, limit::kMonth),
                          text_of(kFromDay, limit::kDay));
    in.to = search_date(text_of(kToYear, limit::kYear), text_of(kToMonth, limit::kMonth),
                        text_of(kToDay, limit::kDay));
    for (const TextLimit &box : kTextLimits) in.*box.input = text_of(box.id, box.longest);
    const std::string op = control_text(kAmountOperator);
    in.amount_operator = op.empty() ? '=' : op[0];
    in.match_case = is_checked(kMatchCase);
    in.subtotals = is_checked(kSubtotals);
    in.dates_by_month = is_checked(kSubtotalByMonth);
    return in;
}

bool SearchDialog::search_in(SortOrder order) {
    const SearchInputs inputs = read_inputs();
    if (const std::optional<InputError> error = check_search_inputs(inputs)) {
        show_message(owner(), error->message, kInputErrorCaption);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto start = std::chrono::steady_clock::now();
    set_control_text(kSortCaption, sort_order_caption(order));
    model_->begin_change();
    results_.clear();
    results_.reserve(kReservedLines, kReservedBytes);
    const SearchResult result = search_records(set_, order, inputs, results_);
    model_->end_change();
    view_->scrollToTop();
    // The time the user waited: the list's fill included.
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    set_control_text(kRecordCount, std::to_string(result.line_count));
    set_control_text(kElapsed, elapsed_text(waited));
    set_control_text(kTotalAmount, total_text(result.total));
    QApplication::restoreOverrideCursor();
    return true;
}

void SearchDialog::report() { search_in(order_); }

void SearchDialog::sort_by(SortOrder order) {
    if (search_in(order)) order_ = order;
}

void SearchDialog::reject() {
    hide();
    emit end_program();
}

void SearchDialog::set_date(int month, int day, int year, const DialogDate &date) {
    set_control_text(month, date.month);
    set_control_text(day, date.day);
    set_control_text(year, date.year);
}

DialogDate SearchDialog::date_of(int month, int day, int year) const {
    return {control_text(month), control_text(day), control_text(year)};
}

void SearchDialog::step(int month, int day, int year, int step_box, int sign) {
    const int days = step_days(control_text(step_box));
    set_date(month, day, year, step_date(date_of(month, day, year), sign * days));
}

void SearchDialog::select_all_years() {
    set_date(kFromMonth, kFromDay, kFromYear, span_.first);
    set_date(kToMonth, kToDay, kToYear, span_.last);
}

void SearchDialog::year_chosen(int index) {
    const QString year = controls_.get<QComboBox>(kYears)->itemText(index);
    if (year == QLatin1String(kAnyYear)) return;
    const std::string y = to_ansi(year);
    set_date(kFromMonth, kFromDay, kFromYear, {"01", "01", y});
    set_date(kToMonth, kToDay, kToYear, {"12", "31", y});
}

std::vector<std::size_t> SearchDialog::selected_rows() const {
    const std::size_t rows = results_.size();
    const QItemSelection selection = view_->selectionModel()->selection();
    std::vector<bool> marked(rows, false);
    std::size_t count = 0;
    for (const QItemSelectionRange &range : selection)
        for (int r = range.top(); r <= range.bottom(); ++r)
            if (static_cast<std::size_t>(r) < rows && !marked[r]) {
                marked[r] = true;
                ++count;
            }
    std::vector<std::size_t> selected;
    selected.reserve(count);
    for (std::size_t r = 0; r < rows && selected.size() < count; ++r)
        if (marked[r]) selected.push_back(r);
    return selected;
}

bool SearchDialog::no_selection() {
    if (view_->selectionModel()->hasSelection()) return false;
    show_message(owner(), messages::kNoSelection, messages::kNoSelectionCaption);
    return true;
}

bool SearchDialog::eventFilter(QObject *watched, QEvent *event) {
    // The list view's own Ctrl+C copies the current line alone, without its
    // line ending.
    if (watched == view_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        copy_selection();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SearchDialog::clear_results() {
    begin_results().clear();
    end_results();
    for (int id : {kRecordCount, kTotalAmount, kElapsed}) set_control_text(id, kStatusLabelText);
}

void SearchDialog::copy_selection() {
    if (no_selection()) return;
    const std::vector<std::size_t> rows = selected_rows();
    // The block is sized to the selection; the clipboard's old text goes
    // first, so two large copies are never held at once.
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    qsizetype length = 0;
    for (std::size_t r : rows) length += static_cast<qsizetype>(results_.line(r).size()) + 2;
    QString text(length, Qt::Uninitialized);
    QChar *to = text.data();
    for (std::size_t r : rows) {
        to = write_ansi(to, results_.line(r));
        *to++ = QLatin1Char('\r');
        *to++ = QLatin1Char('\n');
    }
    clipboard->setText(text);
    view_->clearSelection();
}

void SearchDialog::print_selection() {
    if (no_selection()) return;
    const std::vector<std::size_t> rows = selected_rows();
    std::vector<std::string_view> lines;
    lines.reserve(rows.size());
    for (std::size_t r : rows) lines.push_back(results_.line(r));
    print_report(owner(), this, lines);
    view_->clearSelection();
}

void SearchDialog::export_selection() {
    if (no_selection()) return;
    const std::string text = result_export_text(results_, selected_rows());
    const QString path = choose_file(owner(), FileChoice::Save, QString::fromLatin1(kExportTitle));
    if (path.isEmpty()) return;
    const WriteOutcome written = write_export_file(path.toStdString(), text);
    show_message(owner(), written.notice.text, written.notice.caption);
    if (written.status == WriteStatus::Written) view_->clearSelection();
}

void SearchDialog::open_advanced_options() {
    if (AdvancedOptionsDialog *open = shown_advanced_options(owner())) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto *dialog = new AdvancedOptionsDialog(set_, owner());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &AdvancedOptionsDialog::end_program, this, &SearchDialog::end_program);
    connect(dialog, &AdvancedOptionsDialog::register_emptied, this, &SearchDialog::clear_results);
    dialog->show();
}

}  // namespace ledgrove::ui
