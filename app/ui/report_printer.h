// report_printer.h - printing result lines: the print dialog, the "Abort"
// cancel dialog, and the lines drawn page by page in the 7-point bold
// fixed-pitch report font, as app/output/page_layout.h places them.
//
// The page layout is taken from the printer in device pixels: the paper
// rectangle gives the physical width and height, the printable rectangle's
// distance from the paper's corner the physical offsets, and the painter
// draws relative to the printable area, as a printer's device context does.
// While a job runs, the working window (the search dialog) is disabled and
// the cancel dialog takes input between lines.
#ifndef LEDGROVE_APP_UI_REPORT_PRINTER_H
#define LEDGROVE_APP_UI_REPORT_PRINTER_H

#include <QString>
#include <span>
#include <string_view>

#include "app/output/page_layout.h"

class QPrinter;
class QWidget;

namespace ledgrove::ui {

// The texts a printing job shows and gives the spooler.
inline constexpr const char *kPrintCaption = "Print";                         // string 20
inline constexpr const char *kNothingPrinted = "No printer was chosen: nothing was printed.";  // 35
inline constexpr const char *kReportDocumentName = "Ledgrove Check Register Report";  // 36

// The cancel dialog.
inline constexpr const char *kAbortCaption = "Printing";
inline constexpr const char *kAbortText = "Printing the selected lines...";

PrinterMetrics printer_metrics(const QPrinter &printer);

struct PrintOutcome {
    bool printed = false;   // a job was sent to the printer
    bool cancelled = false;
    int pages = 0;
};

// Asks for a printer through the print dialog and prints the lines; a
// cancelled dialog shows string 35 with caption 20.
PrintOutcome print_report(QWidget *owner, QWidget *working_window,
                          std::span<const std::string_view> lines);

// Prints on a printer that is set up, with the cancel dialog.
PrintOutcome print_lines(QPrinter &printer, std::span<const std::string_view> lines,
                         QWidget *owner, QWidget *working_window);

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_REPORT_PRINTER_H
