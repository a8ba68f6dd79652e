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
#include <string>
#include <string_view>
#include <vector>

#include "app/search/date_range.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/check_record.h"
#include "app/store/database_set.h"

class QLabel;
class QTimer;

namespace ledgrove::ui {

class Maintenance;
class ResultModel;
class ResultView;

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
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_SEARCH_WINDOW_H
