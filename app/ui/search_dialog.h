// search_dialog.h - "Check Register Inquiry", the program's working window.
//
// It reads its controls into the core's SearchInputs, runs the search into
// the result list held here, and writes the count, time and total back.
// The dialog itself keeps nothing but the current order.  Escape and the
// close box end the program (end_program()); "Advanced Options" opens the
// modeless Advanced Options dialog, or raises the one open.  Ctrl+C in the
// result list copies as "Copy to Clipboard" does.  Copy and a written
// export clear the selection; a cancelled file dialog or a failed export
// keep it, so the user can try again.
#ifndef LEDGROVE_APP_UI_SEARCH_DIALOG_H
#define LEDGROVE_APP_UI_SEARCH_DIALOG_H

#include <QDialog>
#include <cstddef>
#include <vector>

#include "app/search/date_range.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "app/store/check_record.h"
#include "app/store/database_set.h"
#include "app/ui/dialog_template.h"

class QComboBox;
class QListView;

namespace ledgrove::ui {

class ResultModel;

inline constexpr const char *kDonationAddress = "https://ledgrove.org/donate";
inline constexpr const char *kExportTitle = "Export Data to CSV";
inline constexpr const char *kImportTitle = "Import Data from CSV";

// The text the four status labels start with.
inline constexpr const char *kStatusLabelText = "                    ";

class SearchDialog : public QDialog {
    Q_OBJECT

public:
    // `owner` is the main window: it owns the dialogs and message boxes
    // opened from here.
    SearchDialog(DatabaseSet &set, QWidget *owner = nullptr);
    ~SearchDialog() override;

    // The text of an edit box, combo box, label or button, in the register's
    // code page; "" for an unknown id.
    std::string control_text(int id) const;
    bool is_checked(int id) const;
    void set_control_text(int id, std::string_view text);

    // The result list to fill; the view follows once end_results() is called.
    ResultList &begin_results();
    void end_results();

    QWidget *control(int id) const { return controls_.find(id); }
    QListView *result_view() const { return view_; }
    const ResultList &results() const { return results_; }
    SortOrder current_order() const { return order_; }

    // The selected lines of the result list, ascending.
    std::vector<std::size_t> selected_rows() const;

    // The command of a control id, as its button or key gives it.
    void command(int id);

    // Empties the result list and its count, total and time: the register
    // they came from is gone.
    void clear_results();

signals:
    void end_program();

protected:
    void reject() override;  // Escape and the close box
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fill_lists();
    void fill_years();
    // The inputs as the controls hold them, each text cut to its longest.
    SearchInputs read_inputs() const;
    std::string text_of(int id, std::size_t longest) const;
    // One search: the inputs read and checked (a problem is told in a
    // message box and the list stays as it was), then the order's caption,
    // the list, the count, the time and the total.  False when refused.
    bool search_in(SortOrder order);
    void connect_commands();
    void report();
    void sort_by(SortOrder order);
    void set_date(int month, int day, int year, const DialogDate &date);
    DialogDate date_of(int month, int day, int year) const;
    void step(int month, int day, int year, int step_box, int sign);
    void select_all_years();
    void year_chosen(int index);
    void copy_selection();
    void print_selection();
    void export_selection();
    void open_advanced_options();
    bool no_selection();
    QWidget *owner() const;

    DatabaseSet &set_;
    TemplateControls controls_;
    QListView *view_ = nullptr;
    ResultList results_;
    ResultModel *model_ = nullptr;
    SortOrder order_ = SortOrder::Date;
    RegisterSpan span_;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_SEARCH_DIALOG_H
