// search_window.h - "Check Register Inquiry", the program's one main window.
//
// The search form (dates, options, match texts, the command buttons) over
// the result list and its column headings, in layouts: the window resizes
// and maximizes and the list takes the room.  It reads its controls into the
// core's SearchInputs, runs the search into the result list held here, and
// writes the count, time and total back; a search runs from Report (also
// Enter in any field), from a "sort" button (its order, forward), or from a
// click on a heading (its order; the order listed, clicked again, in
// reverse).  Ctrl+Plus, Ctrl+Minus and Ctrl+0 size the list's text.
//
// The File menu holds the maintenance commands, Print and Exit (Ctrl+Q);
// Escape does not close the window.  Closing it ends the program and closes
// the register.  After an import, an emptying or a rebuild the register is
// open again and the window shows its new state: the years and the ALL range
// recomputed, the list searched again, the status bar's count.
//
// Besides the lines, a search can be summed by vendor, month, fiscal year
// or description ("Summarize by"): the summary's table and chart stand in
// the second tab under the form, and copy, print and export follow the tab
// shown.  The date presets (this month, the quarters of a fiscal year, ...)
// set the From and To boxes as ALL and the Years list do; a fiscal year
// starts in the month the user sets, remembered.  The Searches menu saves
// the criteria under a name, recalls them and the last ten searches, and
// copies the equivalent ledgrove-cli command line (search_menus.cc).
//
// The status bar shows the count and sum of the selected check lines, the
// last search's time, and the register's folder with its number of checks.
// The window's size and place and the list's text size are kept between
// runs.  Copy and a written export clear the selection; a cancelled file
// dialog or a failed export keep it, so the user can try again.
#ifndef LEDGROVE_APP_UI_SEARCH_WINDOW_H
#define LEDGROVE_APP_UI_SEARCH_WINDOW_H

#include <QHash>
#include <QMainWindow>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/output/table_export.h"
#include "app/search/date_presets.h"
#include "app/search/date_range.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/search/search_parameters.h"
#include "app/search/summary.h"
#include "app/store/check_record.h"
#include "app/store/database_set.h"

class QLabel;
class QMenu;
class QTabWidget;
class QTimer;

namespace ledgrove::ui {

class Maintenance;
class ResultModel;
class ResultView;
class SummaryView;

inline constexpr const char *kExportTitle = "Export Data to CSV";
inline constexpr const char *kImportTitle = "Import Data from CSV";

// The text the four status labels start with.
inline constexpr const char *kStatusLabelText = "                    ";

class SearchWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit SearchWindow(DatabaseSet &set, QWidget *parent = nullptr);
    ~SearchWindow() override;

    // The text of an edit box, combo box, label or button (its caption
    // without the mnemonic's '&'), in the register's code page; "" for an
    // unknown id.
    std::string control_text(int id) const;
    bool is_checked(int id) const;
    void set_control_text(int id, std::string_view text);

    // The result list to fill; the view follows once end_results() is called.
    ResultList &begin_results();
    void end_results();

    QWidget *control(int id) const;
    ResultView *result_view() const { return view_; }
    const ResultList &results() const { return results_; }
    SortOrder current_order() const { return order_; }
    bool reversed() const { return reverse_; }
    Maintenance &maintenance() const { return *maintenance_; }

    // The selected lines of the result list, ascending.
    std::vector<std::size_t> selected_rows() const;

    // The command of a control id or menu item, as its button, key or menu
    // gives it.
    void command(int id);

    // Empties the result list and its count, total and time.
    void clear_results();

    // The criteria the controls hold, with the order and direction of the
    // search Report runs, the fiscal year's first month and the summary's
    // group; and whether a summary is asked for ("Summarize by" not "none").
    SearchRequest criteria() const;
    bool summarizing() const;
    // The criteria as named values (search_parameters.h), the summary's
    // group among them when one is asked for; and back into the controls
    // (a name that does not read is passed over).
    std::vector<NamedValue> criteria_values() const;
    void set_criteria(const std::vector<NamedValue> &values);
    // The last search run, into the controls (not run): the program's start.
    void restore_last_search();

    // The ledgrove-cli command line that lists what Report lists (or sums,
    // with a summary), quoted for a POSIX shell.
    QString command_line() const;

    // Sets the From and To boxes to a preset's range.  The quarters are
    // those of the fiscal year the From date falls in.  The presets count
    // from the local date, or from the one given here (tests).
    void choose_date_preset(DatePreset preset);
    void set_today(const CalendarDate &today) { today_ = today; }

    SummaryView *summary_view() const { return summary_view_; }
    QTabWidget *result_tabs() const { return tabs_; }

    // Tells the user, once and without blocking, which register files could
    // not be opened and what that costs: an empty result list alone would
    // look like "no payments matched".  Nothing when all opened.
    void show_open_notice();

protected:
    void keyPressEvent(QKeyEvent *event) override;  // Enter searches
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build_form();
    void build_menus();
    void set_tab_order();
    void fill_lists();
    void fill_years();
    void restore_settings();
    void save_settings() const;
    SearchInputs read_inputs() const;
    std::string text_of(int id, std::size_t longest) const;
    // One search: the inputs read and checked (a problem is told in a
    // message box and the list stays as it was), then the order's caption,
    // the list, the count, the time and the total.  False when refused.
    bool search_in(SortOrder order, bool reverse);
    void heading_clicked(SortOrder order);
    void set_date(int month, int day, int year, const DialogDate &date);
    DialogDate date_of(int month, int day, int year) const;
    void step(int month, int day, int year, int step_box, int sign);
    void select_all_years();
    bool whole_span_shown() const;
    void year_chosen(int index);
    void copy_selection();
    void print_report();
    void export_selection();
    void open_advanced_options();
    // The second half: the summary's copy and print, the standard exports,
    // the chart, and the Searches menu (search_menus.cc).
    void build_search_menu();
    void refresh_search_menus();
    void save_search_as();
    void recall(const std::vector<NamedValue> &values);
    void copy_command();
    bool summary_shown() const;
    bool no_summary(std::string_view caption);  // tells when there is none
    void copy_summary();
    void print_summary();
    struct TableFile {
        std::string path;
        TableFormat format;
    };
    // Asks for a table file; nothing when cancelled or not .csv/.xlsx/.json (told).
    std::optional<TableFile> choose_table_file(const QString &title);
    void export_lines();
    void export_summary();
    void save_chart();
    void show_summary_if_asked();
    bool no_selection();
    void register_changed();
    void zoom(int step);
    void show_selection_status();
    void show_register_status();

    DatabaseSet &set_;
    QHash<int, QWidget *> controls_;
    ResultView *view_ = nullptr;
    ResultList results_;
    ResultModel *model_ = nullptr;
    Maintenance *maintenance_ = nullptr;
    SortOrder order_ = SortOrder::Date;
    bool reverse_ = false;
    bool searched_ = false;  // the list shows a search, not nothing
    SearchInputs shown_inputs_;  // the inputs of the search the list shows
    RegisterSpan span_;
    QLabel *selection_status_ = nullptr;
    QLabel *time_status_ = nullptr;
    QLabel *register_status_ = nullptr;
    QTimer *selection_timer_ = nullptr;
    bool open_notice_shown_ = false;
    QTabWidget *tabs_ = nullptr;
    SummaryView *summary_view_ = nullptr;
    QMenu *saved_menu_ = nullptr;
    QMenu *delete_menu_ = nullptr;
    QMenu *recent_menu_ = nullptr;
    std::optional<CalendarDate> today_;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_SEARCH_WINDOW_H
