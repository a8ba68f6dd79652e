// report_printer.h - printing a report of the result list: the print
// dialog, the "Abort" cancel dialog, and the pages as app/output/page_layout.h
// lays them out, painted on a QPrinter (a printer, or a PDF file through
// the print dialog).
//
// The print dialog offers the whole result, or the selected lines when
// there are any (they are its first choice), and a range of pages.  The
// result lines are drawn in the 7-point bold fixed-pitch report font; the
// title (the register's folder) in a larger bold sans-serif; the headings
// in a sans-serif size that fits each within its column.
//
// The page layout is taken from the printer in device pixels: the paper
// rectangle gives the physical width and height, the printable rectangle's
// distance from the paper's corner the physical offsets, and the painter
// draws relative to the printable area, as a printer's device context does.
// While a job runs, the working window is disabled and the cancel dialog
// takes input between lines.
#ifndef LEDGROVE_APP_UI_REPORT_PRINTER_H
#define LEDGROVE_APP_UI_REPORT_PRINTER_H

#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include "app/output/page_layout.h"
#include "app/search/result_list.h"

class QPrinter;
class QWidget;

namespace ledgrove::ui {

// The texts a printing job shows and gives the spooler.
inline constexpr const char *kPrintCaption = "Print";
inline constexpr const char *kNothingPrinted = "No printer was chosen: nothing was printed.";
inline constexpr const char *kReportDocumentName = "Ledgrove Check Register Report";

// The cancel dialog.
inline constexpr const char *kAbortCaption = "Printing";
inline constexpr const char *kAbortText = "Printing the report...";

PrinterMetrics printer_metrics(const QPrinter &printer);

// What a report is made of: the result list, its selected lines (ascending;
// empty when none), and the words around them.
struct ReportSource {
    const ResultList &lines;
    std::vector<std::size_t> selected;
    std::string title;
    std::vector<std::string> criteria;
};

struct PrintOutcome {
    bool printed = false;  // a job was sent to the printer
    bool cancelled = false;
    int pages = 0;
};

// Asks for a printer and the part to print through the print dialog, then
// prints; a cancelled dialog is told in a message.
PrintOutcome print_report(QWidget *owner, QWidget *working_window, const ReportSource &source);

// Prints on a printer that is set up (its print range says what), with the
// cancel dialog.
PrintOutcome print_on(QPrinter &printer, const ReportSource &source, QWidget *owner,
                      QWidget *working_window);

// A report of a table (a summary): the title, the criteria, the table under
// its header, the first `text_columns` columns left-aligned and the others
// right, then the closing line; laid out as a text document, which numbers
// its pages at the foot.  The print dialog as for the lines.
struct TableReport {
    QString title;
    QStringList criteria;
    QStringList header;
    std::vector<QStringList> rows;
    int text_columns = 1;
    QString closing;
};
PrintOutcome print_table_report(QWidget *owner, const TableReport &report);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_REPORT_PRINTER_H
