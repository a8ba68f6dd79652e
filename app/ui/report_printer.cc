// report_printer.cc - a report on a QPrinter.
#include "app/ui/report_printer.h"

#include <QCoreApplication>
#include <QDate>
#include <QDialog>
#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTextDocument>
#include <algorithm>
#include <climits>

#include "app/output/report_text.h"
#include "app/search/result_lines.h"
#include "app/ui/ansi_text.h"
#include "app/ui/control_ids.h"
#include "app/ui/dialog_template.h"
#include "app/ui/user_prompts.h"

namespace ledgrove::ui {
namespace {

// The cancel dialog takes its input every few lines.
constexpr std::size_t kLinesBetweenEvents = 32;

constexpr DialogTemplate kAbortDialog = {kAbortCaption, 160, 52};
constexpr ControlTemplate kAbortControls[] = {
    {ControlKind::Label, kNoId, kAbortText, 10, 8, 140, 8},
    {ControlKind::DefaultButton, control::abort_job::kCancel, "Cancel", 55, 28, 50, 14},
};

// The modeless cancel dialog: its one button sets the cancel flag and gives
// the working window back; its close box is greyed.
class AbortDialog : public QDialog {
public:
    AbortDialog(QWidget *owner, QWidget *working_window, bool &cancelled)
        : QDialog(outside(owner, working_window)), working_window_(working_window),
          cancelled_(cancelled) {
        setObjectName(QStringLiteral("Abort"));
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        TemplateControls controls = build_dialog(*this, kAbortDialog, kAbortControls);
        connect(controls.get<QPushButton>(control::abort_job::kCancel), &QPushButton::clicked, this,
                [this] { cancel(); });
    }

    void cancel() {
        cancelled_ = true;
        if (working_window_) working_window_->setEnabled(true);
        hide();
    }

protected:
    void reject() override {}  // Escape does not end the job; the button does

private:
    // The dialog must stay usable while the working window is disabled, so
    // it is never owned by that window or one inside it.
    static QWidget *outside(QWidget *owner, QWidget *working_window) {
        if (!owner || !working_window) return owner;
        if (owner == working_window || working_window->isAncestorOf(owner)) return nullptr;
        return owner;
    }

    QPointer<QWidget> working_window_;
    bool &cancelled_;
};

// The fonts of the report's parts, for the printer's resolution.
struct ReportFonts {
    QFont line = report_font();
    QFont title;
    QFont heading;

    ReportFonts(QPaintDevice *device, const PageLayout &layout) {
        title = dialog_font();
        title.setPointSize(10);
        title.setBold(true);
        // Each heading within its column, a character's width kept free
        // before the next: as large as the report font, or smaller.
        heading = dialog_font();
        heading.setBold(true);
        heading.setPointSizeF(line.pointSizeF());
        const QFontMetricsF metrics(heading, device);
        double scale = 1.0;
        for (const ResultColumn &c : kResultColumns) {
            const std::string_view caption = sort_order_caption(c.order);
            const double room = (static_cast<double>(c.width) - 1) * layout.char_width;
            const double needed = metrics.horizontalAdvance(
                QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
            if (needed > room && needed > 0) scale = std::min(scale, room / needed);
        }
        heading.setPointSizeF(line.pointSizeF() * scale);
    }

    const QFont &of(TextRole role) const {
        switch (role) {
            case TextRole::Title: return title;
            case TextRole::Heading: return heading;
            default: return line;
        }
    }
};

class PrinterSurface : public PageSurface {
public:
    PrinterSurface(QPrinter &printer, QPainter &painter, const ReportFonts &fonts, const bool &cancelled)
        : printer_(printer), painter_(painter), fonts_(fonts), cancelled_(cancelled) {}

    void draw_text(int x, int y, std::string_view text, TextRole role, Align align) override {
        const QFont &font = fonts_.of(role);
        painter_.setFont(font);
        const QFontMetricsF metrics(font, painter_.device());
        const QString shown = from_ansi(text);
        const qreal left = align == Align::Right ? x - metrics.horizontalAdvance(shown) : x;
        painter_.drawText(QPointF(left, y + metrics.ascent()), shown);
    }
    void next_page() override { printer_.newPage(); }
    bool keep_going() override {
        if (++lines_ % kLinesBetweenEvents == 0) QCoreApplication::processEvents();
        return !cancelled_;
    }

private:
    QPrinter &printer_;
    QPainter &painter_;
    const ReportFonts &fonts_;
    const bool &cancelled_;
    std::size_t lines_ = 0;
};

// The report font's advance as a line of it is laid out on this device.
double char_width(QPaintDevice *device) {
    return QFontMetricsF(report_font(), device)
               .horizontalAdvance(QString(kResultLineWidth, QLatin1Char('M'))) /
           kResultLineWidth;
}

std::string today_text() {
    const QDate today = QDate::currentDate();
    return printed_on_text(today.year(), today.month(), today.day());
}

}  // namespace

PrinterMetrics printer_metrics(const QPrinter &printer) {
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    return {qRound(paper.width()), qRound(paper.height()), qRound(page.left() - paper.left()),
            qRound(page.top() - paper.top())};
}

PrintOutcome print_on(QPrinter &printer, const ReportSource &source, QWidget *owner,
                      QWidget *working_window) {
    PrintOutcome outcome;
    printer.setDocName(QString::fromLatin1(kReportDocumentName));
    const bool selection = printer.printRange() == QPrinter::Selection && !source.selected.empty();
    std::vector<std::string_view> lines;
    Report report{source.title, source.criteria, {}, {}, today_text()};
    if (selection) {
        lines.reserve(source.selected.size());
        for (std::size_t r : source.selected) lines.push_back(source.lines.line(r));
        report.criteria.push_back(selection_note(lines.size(), source.lines.size()));
        report.summary = summary_text(sum_record_lines(source.lines, source.selected));
    } else {
        lines.reserve(source.lines.size());
        for (std::size_t r = 0; r < source.lines.size(); ++r) lines.push_back(source.lines.line(r));
        report.summary = summary_text(sum_record_lines(source.lines));
    }
    report.lines = lines;
    int first = 1, last = INT_MAX;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage();
        last = std::max(first, printer.toPage());
    }

    QPainter painter;
    if (!painter.begin(&printer)) {
        show_message(owner, kNothingPrinted, kPrintCaption);
        return outcome;
    }
    bool cancelled = false;
    AbortDialog abort(owner, working_window, cancelled);
    if (working_window) working_window->setEnabled(false);
    abort.show();

    const PageLayout layout = page_layout(printer_metrics(printer), char_width(&printer));
    const ReportFonts fonts(&printer, layout);
    PrinterSurface surface(printer, painter, fonts, cancelled);
    outcome.pages = lay_out_report(report, layout, surface, first, last);
    if (cancelled) printer.abort();
    if (painter.isActive()) painter.end();

    outcome.printed = !cancelled;
    outcome.cancelled = cancelled;
    if (!cancelled) {
        if (working_window) working_window->setEnabled(true);
        abort.hide();
    }
    return outcome;
}

PrintOutcome print_report(QWidget *owner, QWidget *working_window, const ReportSource &source) {
    QPrinter printer(QPrinter::HighResolution);
    // The selection, when there is one, is what the dialog offers first.
    printer.setPrintRange(source.selected.empty() ? QPrinter::AllPages : QPrinter::Selection);
    if (!prompts().printer(owner, printer, !source.selected.empty())) {
        show_message(owner, kNothingPrinted, kPrintCaption);
        return {};
    }
    return print_on(printer, source, owner, working_window);
}

PrintOutcome print_table_report(QWidget *owner, const TableReport &report) {
    QPrinter printer(QPrinter::HighResolution);
    if (!prompts().printer(owner, printer, false)) {
        show_message(owner, kNothingPrinted, kPrintCaption);
        return {};
    }
    printer.setDocName(QString::fromLatin1(kReportDocumentName));
    auto cell = [&](const QString &text, int column, const char *tag) {
        const QString align = QString::fromLatin1(column < report.text_columns ? "left" : "right");
        return QStringLiteral("<%1 align=\"%2\">%3</%1>").arg(QString::fromLatin1(tag), align, text.toHtmlEscaped());
    };
    QString html = QStringLiteral("<h3>%1</h3>").arg(report.title.toHtmlEscaped());
    for (const QString &line : report.criteria) html += QStringLiteral("<p>%1</p>").arg(line.toHtmlEscaped());
    html += QStringLiteral("<table border=\"0\" cellspacing=\"0\" cellpadding=\"3\"><thead><tr>");
    for (int c = 0; c < report.header.size(); ++c) html += cell(report.header[c], c, "th");
    html += QStringLiteral("</tr></thead>");
    for (const QStringList &row : report.rows) {
        html += QStringLiteral("<tr>");
        for (int c = 0; c < row.size(); ++c) html += cell(row[c], c, "td");
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table><p><b>%1</b></p><p>%2</p>")
                .arg(report.closing.toHtmlEscaped(), from_ansi(today_text()).toHtmlEscaped());
    QTextDocument document;
    QFont font = dialog_font();
    font.setPointSize(9);
    document.setDefaultFont(font);
    document.setHtml(html);
    document.print(&printer);
    PrintOutcome outcome;
    outcome.printed = true;
    outcome.pages = document.pageCount();
    return outcome;
}

}  // namespace ledgrove::ui
