// search_window.cc - the main window: its form, menus, commands and status.
#include "app/ui/search_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "app/output/messages.h"
#include "app/output/report_text.h"
#include "app/output/result_export.h"
#include "app/search/result_lines.h"
#include "app/store/open_notice.h"
#include "app/ui/about_dialog.h"
#include "app/ui/advanced_options_dialog.h"
#include "app/ui/ansi_text.h"
#include "app/ui/control_ids.h"
#include "app/search/date_step.h"
#include "app/ui/dialog_template.h"
#include "app/ui/maintenance.h"
#include "app/ui/report_printer.h"
#include "app/ui/result_model.h"
#include "app/ui/result_view.h"
#include "app/ui/saved_searches.h"
#include "app/ui/summary_view.h"
#include "app/ui/user_prompts.h"

namespace ledgrove::ui {
namespace {

using namespace control;

inline constexpr const char *kTitle = "Check Register Inquiry";
inline constexpr const char *kAnyYear = "????";

// Where the window's size and place and the list's text size are kept
// (with the searches of saved_searches.h).
inline constexpr const char *kGeometryKey = "window/geometry";
inline constexpr const char *kPointSizeKey = "list/pointSize";

// A first run's window, before the user sizes it; never beyond the screen.
constexpr QSize kFirstSize(1100, 720);

// The captions, with their mnemonics: Alt and the underlined letter moves
// to a field (through its label) or presses a button.  No two share a
// letter, and none takes F, W or H, the menus' letters.  (The controls
// added later found only G and Z free; the others go without.)
struct Caption {
    int id;
    const char *text;
};
constexpr Caption kButtons[] = {
    {kReport, "&Report"},
    {kPrint, "&Print"},
    {kExport, "E&xport"},
    {kCopyToClipboard, "Copy to C&lipboard"},
    {kAdvancedOptions, "Advanced &Options"},
    {kDonate, "&Donate!"},
    {kAll, "&ALL"},
    {kFromStepBack, "-"},
    {kFromStepForward, "+"},
    {kToStepBack, "-"},
    {kToStepForward, "+"},
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

// The match boxes, the search input each fills, the longest text the search
// takes from it (a box takes no more, so nothing typed is cut unseen), and
// the characters it shows at its narrowest.
struct MatchBox {
    int id;
    std::string SearchInputs::*input;
    std::size_t longest;
    int shown;
};
constexpr MatchBox kMatchBoxes[] = {
    {kVendorNameText, &SearchInputs::vendor_name, search_limits::kVendorName, 16},
    {kDescriptionText, &SearchInputs::description, search_limits::kDescription, 16},
    {kCheckIdText, &SearchInputs::check_id, search_limits::kCheckId, 7},
    {kPoNumberText, &SearchInputs::po_number, search_limits::kPoNumber, 9},
    {kVendorIdText, &SearchInputs::vendor_id, search_limits::kVendorId, 10},
    {kAmountText, &SearchInputs::amount, search_limits::kAmount, 10},
    {kAmountMin, &SearchInputs::amount_min, search_limits::kAmount, 8},
    {kAmountMax, &SearchInputs::amount_max, search_limits::kAmount, 8},
    // As long as the longest field it is compared with.
    {kAnyText, &SearchInputs::any_text, search_limits::kVendorName, 16},
};

// "Summarize by": "none", then the groups.
constexpr SummaryGroup kGroups[] = {SummaryGroup::Vendor, SummaryGroup::Month, SummaryGroup::FiscalYear,
                                    SummaryGroup::Description};
// Short, so the options stay within the date group's width.
constexpr const char *kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A search's expected lines, reserved up front so that filling the list
// seldom has to grow it.
constexpr std::size_t kReservedLines = 75000;
constexpr std::size_t kReservedBytes = 12884000;

QString two_digit_number(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

void add_numbers(QComboBox *combo, int first, int last, bool two_digits) {
    for (int n = first; n <= last; ++n)
        combo->addItem(two_digits ? two_digit_number(n) : QString::number(n));
}

QString latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A caption as it shows: the mnemonic's '&' gone, "&&" a plain '&'.
QString shown_caption(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == QLatin1Char('&')) text.remove(i, 1);
    return text;
}

// The "sort" buttons over the list: each stands over its column, as the
// headings do, and moves with them.
class SortBar : public QWidget {
public:
    SortBar(ResultView *view, QWidget *parent) : QWidget(parent), view_(view) {
        connect(view, &ResultView::columns_moved, this, [this] { place(); });
    }

    void add(QPushButton *button, SortOrder order) {
        button->setParent(this);
        for (const ResultColumn &c : kResultColumns)
            if (c.order == order) buttons_.push_back({button, c});
        setFixedHeight(button->sizeHint().height());
    }

protected:
    void resizeEvent(QResizeEvent *) override { place(); }

private:
    void place() {
        // The bar and the list share their left edge in the window's layout.
        const int origin = mapFromGlobal(view_->mapToGlobal(QPoint(0, 0))).x();
        for (const auto &[button, column] : buttons_) {
            const int left = origin + view_->column_x(column.first);
            const int right = origin + view_->column_x(column.first + column.width);
            const int natural = button->fontMetrics().horizontalAdvance(button->text()) + 16;
            const int width = std::max(1, std::min(natural, right - left - 2));
            const bool amount = column.order == SortOrder::Amount;
            button->setGeometry(amount ? right - width : left, 0, width, height());
        }
    }

    ResultView *view_;
    std::vector<std::pair<QPushButton *, ResultColumn>> buttons_;
};

}  // namespace

SearchWindow::SearchWindow(DatabaseSet &set, QWidget *parent)
    : QMainWindow(parent), set_(set), maintenance_(new Maintenance(set, this)) {
    setObjectName(QStringLiteral("searchWindow"));
    setWindowTitle(QString::fromLatin1(kTitle));
    setFont(dialog_font());
    build_form();
    build_menus();
    set_tab_order();
    fill_lists();

    model_ = new ResultModel(results_, this);
    view_->setModel(model_);
    view_->installEventFilter(this);  // Ctrl+C
    selection_timer_ = new QTimer(this);
    selection_timer_->setSingleShot(true);
    connect(selection_timer_, &QTimer::timeout, this, [this] { show_selection_status(); });
    // A selection of a million lines is summed once, after the last change.
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, selection_timer_,
            qOverload<>(&QTimer::start));
    connect(view_, &ResultView::heading_clicked, this, &SearchWindow::heading_clicked);
    view_->show_order(order_, reverse_);

    connect(maintenance_, &Maintenance::register_changed, this, &SearchWindow::register_changed);
    connect(maintenance_, &Maintenance::done, this,
            [this](const QString &note) { statusBar()->showMessage(note, 8000); });
    show_register_status();
    restore_settings();
}

SearchWindow::~SearchWindow() = default;

// ---- The form ----

void SearchWindow::build_form() {
    auto add = [this]<class W>(W *widget, int id) {
        widget->setObjectName(object_name(id));
        controls_.insert(id, widget);
        return widget;
    };
    auto label = [](const char *text, QWidget *buddy = nullptr) {
        auto *l = new QLabel(QString::fromLatin1(text));
        if (buddy) l->setBuddy(buddy);
        return l;
    };
    auto combo = [&](int id, int chars) {
        auto *box = add(new QComboBox, id);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);  // a typed "1" stays 1, not "10"
        box->setMinimumContentsLength(chars);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMaxVisibleItems(12);
        return box;
    };
    // A box as wide as the characters it shows; those that hold a name or
    // a description also take the room there is.
    auto edit = [&](int id, int chars, bool grows = false) {
        auto *line = add(new QLineEdit, id);
        const int width = line->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 12;
        if (grows)
            line->setMinimumWidth(width);
        else
            line->setFixedWidth(width);
        return line;
    };
    for (const Caption &c : kButtons) {
        auto *button = add(new QPushButton(QString::fromLatin1(c.text)), c.id);
        button->setAutoDefault(true);  // Enter on a focused button presses it
        connect(button, &QPushButton::clicked, this, [this, id = c.id] { command(id); });
    }
    QWidget *all = control(kAll);
    all->setFixedWidth(all->fontMetrics().horizontalAdvance(QStringLiteral("ALL")) + 20);
    for (int id : {kFromStepBack, kFromStepForward, kToStepBack, kToStepForward}) {
        QWidget *step = control(id);
        step->setFixedWidth(step->sizeHint().height());
        step->setToolTip(id == kFromStepBack || id == kToStepBack ? tr("Back by the days beside")
                                                                  : tr("Forward by the days beside"));
    }

    auto *central = new QWidget;
    setCentralWidget(central);
    auto *page = new QVBoxLayout(central);
    auto *form = new QGridLayout;
    page->addLayout(form);

    // The commands, top left.
    auto *commands = new QVBoxLayout;
    commands->addWidget(label("Version 2.1"));
    for (int id : {kReport, kPrint, kExport}) commands->addWidget(control(id));
    commands->addStretch(1);
    form->addLayout(commands, 0, 0);

    // The date range, and the options under it.
    auto *dates = new QGroupBox(QStringLiteral("Date Range Select"));
    auto *range = new QGridLayout(dates);
    const struct {
        int label, month, day, year, back, forward, days, month_label, day_label, year_label;
        const char *caption;
    } rows[] = {
        {kFromDateLabel, kFromMonth, kFromDay, kFromYear, kFromStepBack, kFromStepForward,
         kFromStepDays, kFromMonthLabel, kFromDayLabel, kFromYearLabel, "Fro&m Date:"},
        {kToDateLabel, kToMonth, kToDay, kToYear, kToStepBack, kToStepForward, kToStepDays,
         kToMonthLabel, kToDayLabel, kToYearLabel, "&To Date:"},
    };
    for (int r = 0; r < 2; ++r) {
        const auto &row = rows[r];
        QComboBox *month = combo(row.month, 2);
        range->addWidget(add(label("MM"), row.month_label), 2 * r, 1);
        range->addWidget(add(label("DD"), row.day_label), 2 * r, 2);
        range->addWidget(add(label("YYYY"), row.year_label), 2 * r, 3);
        range->addWidget(add(label(row.caption, month), row.label), 2 * r + 1, 0);
        range->addWidget(month, 2 * r + 1, 1);
        range->addWidget(combo(row.day, 2), 2 * r + 1, 2);
        range->addWidget(combo(row.year, 4), 2 * r + 1, 3);
        range->addWidget(control(row.back), 2 * r + 1, 4);
        range->addWidget(control(row.forward), 2 * r + 1, 5);
        QLineEdit *days = edit(row.days, 3);
        days->setMaxLength(kStepDigits);
        days->setToolTip(tr("Days to step by"));
        range->addWidget(days, 2 * r + 1, 6);
    }
    range->addWidget(control(kAll), 1, 7);
    QComboBox *years = combo(kYears, 4);
    range->addWidget(label("&Years:", years), 1, 8);
    range->addWidget(years, 1, 9);
    auto *presets = add(new QComboBox, kDatePresets);
    presets->setPlaceholderText(tr("Period"));
    presets->setToolTip(tr("Set the dates to a period; the quarters are those of the fiscal year "
                           "the From date falls in"));
    range->addWidget(presets, 3, 7, 1, 3);
    range->setColumnStretch(10, 1);  // a wider group leaves its room at the right
    auto *options = new QHBoxLayout;
    options->addWidget(add(new QCheckBox(QStringLiteral("Include &Subtotals")), kSubtotals));
    options->addWidget(add(new QCheckBox(QStringLiteral("subtotal Dates &by Month")), kSubtotalByMonth));
    options->addSpacing(12);
    auto *summarize = add(new QComboBox, kSummarizeBy);
    options->addWidget(label("Summari&ze by:", summarize));
    options->addWidget(summarize);
    auto *fiscal_start = add(new QComboBox, kFiscalStart);
    options->addWidget(label("Fiscal year starts:", fiscal_start));
    options->addWidget(fiscal_start);
    fiscal_start->setToolTip(tr("The month a fiscal year starts; a fiscal year is named by the year it ends in"));
    options->addStretch(1);
    auto *dates_and_options = new QVBoxLayout;
    dates_and_options->addWidget(dates);
    dates_and_options->addLayout(options);
    form->addLayout(dates_and_options, 0, 1);

    // The order of the last search.
    auto *sort_by = new QHBoxLayout;
    sort_by->addWidget(label("Sort by "));
    // The labels a search writes have a fixed size: a new text then asks
    // for no new layout of the window, which every search would pay for.
    QLabel *caption = add(label("Date"), kSortCaption);
    int widest = 0;
    for (const SortButton &b : kSortButtons)
        widest = std::max(widest, fontMetrics().horizontalAdvance(latin1(sort_order_caption(b.order))));
    caption->setFixedSize(widest, caption->sizeHint().height());
    sort_by->addWidget(caption);
    form->addLayout(sort_by, 0, 2, Qt::AlignTop);
    form->setColumnStretch(3, 1);  // the form keeps its arrangement; the list takes the room

    auto *upkeep = new QVBoxLayout;
    upkeep->addWidget(control(kDonate));
    upkeep->addStretch(1);
    upkeep->addWidget(control(kAdvancedOptions));
    form->addLayout(upkeep, 0, 4);

    // The match texts.
    auto *matches = new QGroupBox(QStringLiteral("Match Fields"));
    auto *fields = new QGridLayout(matches);
    for (const MatchBox &box : kMatchBoxes)
        edit(box.id, box.shown, box.longest > 20)->setMaxLength(static_cast<int>(box.longest));
    QComboBox *op = combo(kAmountOperator, 1);
    auto *amount = new QHBoxLayout;
    op->setSizePolicy(QSizePolicy::Fixed, op->sizePolicy().verticalPolicy());  // the range's row is wider
    amount->addWidget(op);
    amount->addWidget(control(kAmountText));
    amount->addStretch(1);
    fields->addWidget(label("Chec&kID:", control(kCheckIdText)), 0, 0);
    fields->addWidget(control(kCheckIdText), 0, 1);
    fields->addWidget(add(new QCheckBox(QStringLiteral("Match &case")), kMatchCase), 0, 2);
    fields->addWidget(label("PO &Number:", control(kPoNumberText)), 0, 3, Qt::AlignRight);
    fields->addWidget(control(kPoNumberText), 0, 4);
    fields->addWidget(label("&Vendor Name:", control(kVendorNameText)), 0, 5, Qt::AlignRight);
    fields->addWidget(control(kVendorNameText), 0, 6);
    fields->addWidget(label("Vendor &ID:", control(kVendorIdText)), 1, 0);
    fields->addWidget(control(kVendorIdText), 1, 1);
    fields->addWidget(label("Amo&unt:", op), 1, 2, 1, 2, Qt::AlignRight);
    fields->addLayout(amount, 1, 4);
    fields->addWidget(label("D&escription:", control(kDescriptionText)), 1, 5, Qt::AlignRight);
    fields->addWidget(control(kDescriptionText), 1, 6);
    auto *amount_range = new QHBoxLayout;
    amount_range->addWidget(control(kAmountMin));
    amount_range->addWidget(label("to"));
    amount_range->addWidget(control(kAmountMax));
    control(kAmountMin)->setToolTip(tr("The smallest amount listed (empty: no least)"));
    control(kAmountMax)->setToolTip(tr("The largest amount listed (empty: no most)"));
    fields->addWidget(label("Amount ran&ge:", control(kAmountMin)), 2, 2, 1, 2, Qt::AlignRight);
    fields->addLayout(amount_range, 2, 4);
    fields->addWidget(label("Any field:", control(kAnyText)), 2, 5, Qt::AlignRight);
    fields->addWidget(control(kAnyText), 2, 6);
    control(kAnyText)->setToolTip(tr("Found in the check id, vendor id, vendor name, PO number or description"));
    fields->setColumnStretch(6, 1);
    form->addWidget(matches, 1, 0, 1, 2);

    // The last search's figures, each as wide as the largest it shows.
    const struct {
        int id;
        const char *widest;
    } figure_labels[] = {{kElapsed, "00000 seconds"}, {kRecordCount, "0000000"},
                         {kUnused, "0000000"}, {kTotalAmount, "-000,000,000,000.00"}};
    for (const auto &[id, widest] : figure_labels) {
        QLabel *figure = add(label(kStatusLabelText), id);
        figure->setFixedSize(fontMetrics().horizontalAdvance(QString::fromLatin1(widest)), figure->sizeHint().height());
    }
    auto *figures = new QGridLayout;
    figures->addWidget(control(kElapsed), 0, 0, 1, 2);
    figures->addWidget(label("Records:"), 1, 0);
    figures->addWidget(control(kRecordCount), 1, 1);
    figures->addWidget(control(kUnused), 2, 1);
    figures->setRowStretch(3, 1);
    form->addLayout(figures, 1, 2, Qt::AlignBottom);
    form->addWidget(control(kCopyToClipboard), 1, 4, Qt::AlignTop);

    // The list under its sort buttons and headings, and the summary beside
    // it in a second tab.
    tabs_ = add(new QTabWidget, kResultTabs);
    tabs_->setDocumentMode(true);
    auto *lines_page = new QWidget;
    auto *lines = new QVBoxLayout(lines_page);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->addWidget(label("Check Registry Records"), 0, Qt::AlignHCenter);
    view_ = add(new ResultView, kResultList);
    auto *bar = new SortBar(view_, lines_page);
    // Seven buttons of one caption share no letter: Alt and the column's
    // number, from the left, presses one.
    int column = 0;
    for (const ResultColumn &c : kResultColumns) {
        const SortButton &b = *std::find_if(std::begin(kSortButtons), std::end(kSortButtons),
                                            [&](const SortButton &s) { return s.order == c.order; });
        auto *button = add(new QPushButton(QStringLiteral("sort")), b.id);
        button->setAutoDefault(true);
        button->setShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + column++)));
        button->setToolTip(tr("List in %1 order (%2)")
                               .arg(latin1(sort_order_caption(b.order)),
                                    button->shortcut().toString(QKeySequence::NativeText)));
        connect(button, &QPushButton::clicked, this, [this, id = b.id] { command(id); });
        bar->add(button, b.order);
    }
    lines->addWidget(bar);
    lines->addWidget(view_, 1);
    tabs_->addTab(lines_page, tr("Lines"));
    summary_view_ = new SummaryView;
    summary_view_->table()->installEventFilter(this);  // Ctrl+C
    tabs_->addTab(summary_view_, tr("Summary"));
    page->addWidget(tabs_, 1);

    auto *total = new QHBoxLayout;
    total->addStretch(1);
    total->addWidget(label("Total Amount:"));
    total->addWidget(control(kTotalAmount));
    page->addLayout(total);

    for (auto *status : {&selection_status_, &time_status_, &register_status_}) {
        *status = new QLabel;
        statusBar()->addPermanentWidget(*status, status == &register_status_ ? 1 : 0);
    }
    selection_status_->setObjectName(QStringLiteral("selectionStatus"));
    time_status_->setObjectName(QStringLiteral("timeStatus"));
    register_status_->setObjectName(QStringLiteral("registerStatus"));
}

void SearchWindow::build_menus() {
    auto item = [this](QMenu *menu, int id, const QString &text, auto slot,
                       QList<QKeySequence> keys = {}) {
        QAction *action = menu->addAction(text, this, slot);
        action->setObjectName(object_name(id));  // "id40001"
        action->setShortcuts(keys);
        return action;
    };
    QMenu *file = menuBar()->addMenu(tr("&File"));
    item(file, menu::kImportRecords, tr("&Import Records..."), [this] { maintenance_->import_records(); });
    item(file, menu::kExportDatabase, tr("&Export Database..."), [this] { maintenance_->export_database(); });
    item(file, menu::kExportLines, tr("Export &Lines As..."), [this] { export_lines(); });
    item(file, menu::kExportSummary, tr("Export S&ummary As..."), [this] { export_summary(); });
    item(file, menu::kSaveChart, tr("Save &Chart..."), [this] { save_chart(); });
    item(file, menu::kPrint, tr("&Print..."), [this] { print_report(); }, {QKeySequence::Print});
    file->addSeparator();
    item(file, menu::kAdvancedOptions, tr("&Advanced Options..."), [this] { open_advanced_options(); });
    file->addSeparator();
    // Ctrl+Q everywhere: the desktops that bind Quit to nothing would leave
    // the window without a key to close it.
    item(file, menu::kExit, tr("E&xit"), [this] { close(); }, {QKeySequence(Qt::CTRL | Qt::Key_Q)});

    QMenu *view = menuBar()->addMenu(tr("Vie&w"));
    item(view, menu::kLargerText, tr("&Larger Text"), [this] { zoom(+1); },
         {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    item(view, menu::kSmallerText, tr("&Smaller Text"), [this] { zoom(-1); }, {QKeySequence::ZoomOut});
    item(view, menu::kNormalText, tr("&Normal Size"), [this] { zoom(0); },
         {QKeySequence(Qt::CTRL | Qt::Key_0)});

    build_search_menu();

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    item(help, menu::kAbout, tr("&About Ledgrove"), [this] {
        AboutDialog about(this);
        about.exec();
    });
}

// Reading order: the dates, the options, the match texts, then the buttons,
// the "sort" buttons and the list under them.
void SearchWindow::set_tab_order() {
    const int order[] = {kFromMonth, kFromDay, kFromYear, kFromStepBack, kFromStepForward,
                         kFromStepDays, kAll, kYears, kToMonth, kToDay, kToYear, kToStepBack,
                         kToStepForward, kToStepDays, kDatePresets, kSubtotals, kSubtotalByMonth,
                         kSummarizeBy, kFiscalStart, kCheckIdText, kMatchCase, kPoNumberText,
                         kVendorNameText, kVendorIdText, kAmountOperator, kAmountText,
                         kDescriptionText, kAmountMin, kAmountMax, kAnyText, kReport, kPrint,
                         kExport, kDonate, kAdvancedOptions, kCopyToClipboard, kResultTabs,
                         kSortCheckId, kSortDate, kSortVendorId, kSortVendorName, kSortPoNumber,
                         kSortDescription, kSortAmount, kResultList};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(control(order[i]), control(order[i + 1]));
    control(kFromMonth)->setFocus();
}

void SearchWindow::fill_lists() {
    auto *op = qobject_cast<QComboBox *>(control(kAmountOperator));
    op->addItems({"<", "=", ">"});  // the sorted order of ">", "=", "<"
    op->setCurrentIndex(1);
    for (int id : {kFromStepDays, kToStepDays}) set_control_text(id, "1");
    for (int id : {kFromMonth, kToMonth}) add_numbers(qobject_cast<QComboBox *>(control(id)), 1, 12, true);
    for (int id : {kFromDay, kToDay}) add_numbers(qobject_cast<QComboBox *>(control(id)), 1, 31, true);
    fill_years();
    select_all_years();
    connect(qobject_cast<QComboBox *>(control(kYears)), &QComboBox::activated, this,
            [this](int index) { year_chosen(index); });

    auto *presets = qobject_cast<QComboBox *>(control(kDatePresets));
    for (int p = 0; p < kDatePresetCount; ++p)
        presets->addItem(latin1(date_preset_caption(static_cast<DatePreset>(p))));
    presets->setCurrentIndex(-1);  // "Period": a choice, not a state
    connect(presets, &QComboBox::activated, this, [this, presets](int index) {
        choose_date_preset(static_cast<DatePreset>(index));
        presets->setCurrentIndex(-1);
    });
    auto *summarize = qobject_cast<QComboBox *>(control(kSummarizeBy));
    summarize->addItem(tr("none"));
    for (SummaryGroup by : kGroups) summarize->addItem(latin1(summary_group_caption(by)));
    auto *fiscal_start = qobject_cast<QComboBox *>(control(kFiscalStart));
    for (const char *month : kMonthNames) fiscal_start->addItem(QString::fromLatin1(month));
    fiscal_start->setCurrentIndex(remembered_fiscal_start() - 1);
    connect(fiscal_start, &QComboBox::currentIndexChanged, this,
            [](int index) { remember_fiscal_start(index + 1); });
}

void SearchWindow::fill_years() {
    span_ = register_span(set_);
    auto *years = qobject_cast<QComboBox *>(control(kYears));
    years->clear();
    years->addItem(kAnyYear);
    add_numbers(years, span_.first_year, span_.last_year, false);
    years->setCurrentIndex(0);
    for (int id : {kFromYear, kToYear}) {
        auto *box = qobject_cast<QComboBox *>(control(id));
        const QString typed = box->currentText();
        box->clear();
        add_numbers(box, std::min(kFirstListedYear, span_.first_year), span_.last_year, false);
        box->setEditText(typed);
    }
}

// ---- Settings ----

void SearchWindow::restore_settings() {
    QSettings settings(kSettingsOrganization, kSettingsApplication);
    view_->set_point_size(settings.value(kPointSizeKey, kDefaultPointSize).toInt());
    if (restoreGeometry(settings.value(kGeometryKey).toByteArray())) return;
    const QRect room = screen()->availableGeometry();
    resize(std::min(kFirstSize.width(), room.width() - 40), std::min(kFirstSize.height(), room.height() - 60));
}

void SearchWindow::save_settings() const {
    QSettings settings(kSettingsOrganization, kSettingsApplication);
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kPointSizeKey, view_->point_size());
}

void SearchWindow::zoom(int step) {
    view_->set_point_size(step == 0 ? kDefaultPointSize : view_->point_size() + step);
}

// ---- Controls ----

QWidget *SearchWindow::control(int id) const { return controls_.value(id, nullptr); }

std::string SearchWindow::control_text(int id) const {
    QWidget *widget = control(id);
    if (auto *edit = qobject_cast<QLineEdit *>(widget)) return to_ansi(edit->text());
    if (auto *combo = qobject_cast<QComboBox *>(widget)) return to_ansi(combo->currentText());
    if (auto *label = qobject_cast<QLabel *>(widget)) return to_ansi(shown_caption(label->text()));
    if (auto *button = qobject_cast<QAbstractButton *>(widget)) return to_ansi(shown_caption(button->text()));
    return {};
}

bool SearchWindow::is_checked(int id) const {
    auto *box = qobject_cast<QAbstractButton *>(control(id));
    return box && box->isCheckable() && box->isChecked();
}

void SearchWindow::set_control_text(int id, std::string_view text) {
    QWidget *widget = control(id);
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

ResultList &SearchWindow::begin_results() {
    model_->begin_change();
    return results_;
}

void SearchWindow::end_results() {
    model_->end_change();
    view_->scrollToTop();
    show_selection_status();
}

void SearchWindow::command(int id) {
    for (const SortButton &b : kSortButtons)
        if (b.id == id) {
            if (search_in(b.order, false)) view_->show_order(order_, reverse_);
            return;
        }
    switch (id) {
        case kReport:
            if (search_in(order_, reverse_)) show_summary_if_asked();
            return;
        case kAll: return select_all_years();
        case kFromStepBack: return step(kFromMonth, kFromDay, kFromYear, kFromStepDays, -1);
        case kFromStepForward: return step(kFromMonth, kFromDay, kFromYear, kFromStepDays, +1);
        case kToStepBack: return step(kToMonth, kToDay, kToYear, kToStepDays, -1);
        case kToStepForward: return step(kToMonth, kToDay, kToYear, kToStepDays, +1);
        case kCopyToClipboard: return copy_selection();
        case kPrint: return print_report();
        case kExport: return export_selection();
        case kAdvancedOptions: return open_advanced_options();
        case kDonate: return prompts().open_url(QUrl(QString::fromLatin1(kDonationAddress)));
        default: return;
    }
}

// ---- Searching ----

std::string SearchWindow::text_of(int id, std::size_t longest) const {
    std::string text = control_text(id);
    if (text.size() > longest) text.resize(longest);
    return text;
}

SearchInputs SearchWindow::read_inputs() const {
    namespace limit = search_limits;
    SearchInputs in;
    in.from = search_date(text_of(kFromYear, limit::kYear), text_of(kFromMonth, limit::kMonth),
                          text_of(kFromDay, limit::kDay));
    in.to = search_date(text_of(kToYear, limit::kYear), text_of(kToMonth, limit::kMonth),
                        text_of(kToDay, limit::kDay));
    for (const MatchBox &box : kMatchBoxes) in.*box.input = text_of(box.id, box.longest);
    const std::string op = control_text(kAmountOperator);
    in.amount_operator = op.empty() ? '=' : op[0];
    in.match_case = is_checked(kMatchCase);
    in.subtotals = is_checked(kSubtotals);
    in.dates_by_month = is_checked(kSubtotalByMonth);
    return in;
}

bool SearchWindow::summarizing() const {
    return qobject_cast<QComboBox *>(control(kSummarizeBy))->currentIndex() > 0;
}

SearchRequest SearchWindow::criteria() const {
    SearchRequest request;
    request.inputs = read_inputs();
    request.inputs.reverse = reverse_;
    request.order = order_;
    request.from_given = request.to_given = true;
    request.fiscal_start = qobject_cast<QComboBox *>(control(kFiscalStart))->currentIndex() + 1;
    const int by = qobject_cast<QComboBox *>(control(kSummarizeBy))->currentIndex();
    request.summary = {kGroups[std::max(0, by - 1)], SummarySort::Total, request.fiscal_start};
    return request;
}

void SearchWindow::set_criteria(const std::vector<NamedValue> &values) {
    SearchRequest request;
    bool by = false;
    for (const NamedValue &v : values) {
        if (set_search_parameter(request, v.name, v.value)) continue;  // kept by an older program
        by = by || v.name == "by";
    }
    const SearchInputs &in = request.inputs;
    if (!in.from.empty()) set_date(kFromMonth, kFromDay, kFromYear, dialog_date(in.from));
    if (!in.to.empty()) set_date(kToMonth, kToDay, kToYear, dialog_date(in.to));
    for (const MatchBox &box : kMatchBoxes) set_control_text(box.id, in.*box.input);
    set_control_text(kAmountOperator, std::string(1, in.amount_operator));
    const std::pair<int, bool> checks[] = {
        {kMatchCase, in.match_case}, {kSubtotals, in.subtotals}, {kSubtotalByMonth, in.dates_by_month}};
    for (const auto &[id, on] : checks) qobject_cast<QAbstractButton *>(control(id))->setChecked(on);
    qobject_cast<QComboBox *>(control(kFiscalStart))->setCurrentIndex(request.fiscal_start - 1);
    const auto group = std::find(std::begin(kGroups), std::end(kGroups), request.summary.by);
    qobject_cast<QComboBox *>(control(kSummarizeBy))
        ->setCurrentIndex(by ? static_cast<int>(group - std::begin(kGroups)) + 1 : 0);
    // The order Report runs next, shown as the last search's is.
    order_ = request.order;
    reverse_ = in.reverse;
    set_control_text(kSortCaption, sort_order_caption(order_));
    view_->show_order(order_, reverse_);
}

std::vector<NamedValue> SearchWindow::criteria_values() const {
    return search_parameter_values(criteria(), summarizing());
}

void SearchWindow::restore_last_search() {
    if (const std::optional<Criteria> last = last_search()) set_criteria(*last);
}

void SearchWindow::choose_date_preset(DatePreset preset) {
    const CalendarDate today = today_ ? *today_ : local_today();
    const int start = qobject_cast<QComboBox *>(control(kFiscalStart))->currentIndex() + 1;
    const int year = std::atoi(control_text(kFromYear).c_str());
    const int month = std::atoi(control_text(kFromMonth).c_str());
    const int fiscal_year = year > 0 && month >= 1 && month <= 12 ? fiscal_year_of(year, month, start)
                                                                  : fiscal_year_of(today.year, today.month, start);
    const DateSpan span = date_preset_span(preset, today, start, fiscal_year);
    set_date(kFromMonth, kFromDay, kFromYear, dialog_date(span.from));
    set_date(kToMonth, kToDay, kToYear, dialog_date(span.to));
}

bool SearchWindow::search_in(SortOrder order, bool reverse) {
    SearchInputs inputs = read_inputs();
    inputs.reverse = reverse;
    if (const std::optional<InputError> error = check_search_inputs(inputs)) {
        show_message(this, error->message, kInputErrorCaption);
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
    time_status_->setText(from_ansi(messages::search_time_status(waited.count())));
    order_ = order;
    reverse_ = reverse;
    searched_ = true;
    shown_inputs_ = inputs;
    // The summary sums the same checks: one more walk, only when asked for.
    summary_view_->show_summary(summarizing() ? std::optional(summarize(set_, order, inputs, criteria().summary))
                                              : std::nullopt);
    add_recent_search(criteria_values());
    refresh_search_menus();
    show_selection_status();
    QApplication::restoreOverrideCursor();
    return true;
}

// The order listed, clicked again, turns round; any other starts forward.
void SearchWindow::heading_clicked(SortOrder order) {
    search_in(order, searched_ && order == order_ ? !reverse_ : false);
    view_->show_order(order_, reverse_);  // also undoes the header's own flip after a refusal
}

void SearchWindow::keyPressEvent(QKeyEvent *event) {
    // Enter in any field runs the report, as a dialog's default button would.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        command(kReport);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void SearchWindow::set_date(int month, int day, int year, const DialogDate &date) {
    set_control_text(month, date.month);
    set_control_text(day, date.day);
    set_control_text(year, date.year);
}

DialogDate SearchWindow::date_of(int month, int day, int year) const {
    return {control_text(month), control_text(day), control_text(year)};
}

void SearchWindow::step(int month, int day, int year, int step_box, int sign) {
    const int days = step_days(control_text(step_box));
    set_date(month, day, year, step_date(date_of(month, day, year), sign * days));
}

void SearchWindow::select_all_years() {
    set_date(kFromMonth, kFromDay, kFromYear, span_.first);
    set_date(kToMonth, kToDay, kToYear, span_.last);
}

bool SearchWindow::whole_span_shown() const {
    const DialogDate from = date_of(kFromMonth, kFromDay, kFromYear);
    const DialogDate to = date_of(kToMonth, kToDay, kToYear);
    auto same = [](const DialogDate &a, const DialogDate &b) {
        return a.month == b.month && a.day == b.day && a.year == b.year;
    };
    return same(from, span_.first) && same(to, span_.last);
}

void SearchWindow::year_chosen(int index) {
    const QString year = qobject_cast<QComboBox *>(control(kYears))->itemText(index);
    if (year == QLatin1String(kAnyYear)) return;
    const std::string y = to_ansi(year);
    set_date(kFromMonth, kFromDay, kFromYear, {"01", "01", y});
    set_date(kToMonth, kToDay, kToYear, {"12", "31", y});
}

// ---- The register changed ----

// The register was imported into, emptied or rebuilt and is open again:
// its span and years are read anew (a range that spanned the register
// spans it still), and the list shows what the same search finds now.
void SearchWindow::register_changed() {
    const bool whole = whole_span_shown();
    fill_years();
    if (whole) select_all_years();
    if (!searched_ || !search_in(order_, reverse_)) clear_results();
    show_register_status();
}

void SearchWindow::clear_results() {
    begin_results().clear();
    end_results();
    for (int id : {kRecordCount, kTotalAmount, kElapsed}) set_control_text(id, kStatusLabelText);
    time_status_->clear();
    summary_view_->show_summary(std::nullopt);
    searched_ = false;
}

void SearchWindow::show_register_status() {
    const QString folder = QDir(QString::fromStdString(set_.directory().empty() ? "." : set_.directory()))
                               .absolutePath();
    const std::size_t checks = set_.data_open() ? set_.data()->header.record_count : 0;
    register_status_->setText(
        QString::fromStdString(messages::register_status(folder.toStdString(), checks, set_.read_only())));
}

void SearchWindow::show_selection_status() {
    if (!view_->selectionModel()->hasSelection()) return selection_status_->clear();
    const std::vector<std::size_t> rows = selected_rows();
    const LinesSum sum = sum_record_lines(results_, rows);
    selection_status_->setText(from_ansi(messages::selection_status(sum.checks, sum.cents)));
}

void SearchWindow::show_open_notice() {
    if (open_notice_shown_) return;
    const std::string text = register_open_notice(set_.failures());
    if (text.empty()) return;
    open_notice_shown_ = true;
    // Not a prompt: nothing waits on it, and the window stays usable.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Ledgrove"),
                                QString::fromStdString(text), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("openNotice"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

// ---- Selection: copy, print, export ----

std::vector<std::size_t> SearchWindow::selected_rows() const {
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

bool SearchWindow::no_selection() {
    if (view_->selectionModel()->hasSelection()) return false;
    show_message(this, messages::kNoSelection, messages::kNoSelectionCaption);
    return true;
}

bool SearchWindow::eventFilter(QObject *watched, QEvent *event) {
    // The list view's own Ctrl+C copies the current line alone, without its
    // line ending.
    if ((watched == view_ || watched == summary_view_->table()) && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        copy_selection();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void SearchWindow::copy_selection() {
    if (summary_shown()) return copy_summary();
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

void SearchWindow::print_report() {
    if (summary_shown()) return print_summary();
    if (results_.empty()) {
        show_message(this, messages::kNothingToPrint, kPrintCaption);
        return;
    }
    const QString folder = QDir(QString::fromStdString(set_.directory().empty() ? "." : set_.directory()))
                               .absolutePath();
    const ReportSource source{results_, selected_rows(), to_ansi(folder),
                              criteria_lines(shown_inputs_, order_, kResultLineWidth)};
    if (ui::print_report(this, this, source).printed) view_->clearSelection();
}

void SearchWindow::export_selection() {
    if (no_selection()) return;
    const std::string text = result_export_text(results_, selected_rows());
    const QString path = choose_file(this, FileChoice::Save, QString::fromLatin1(kExportTitle));
    if (path.isEmpty()) return;
    const WriteOutcome written = write_export_file(path.toStdString(), text);
    show_message(this, written.notice.text, written.notice.caption);
    if (written.status == WriteStatus::Written) view_->clearSelection();
}

void SearchWindow::open_advanced_options() {
    if (AdvancedOptionsDialog *open = shown_advanced_options(this)) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto *dialog = new AdvancedOptionsDialog(*maintenance_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void SearchWindow::closeEvent(QCloseEvent *event) {
    save_settings();
    set_.close();
    event->accept();
}

}  // namespace ledgrove::ui
