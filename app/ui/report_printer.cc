// report_printer.cc - result lines on a QPrinter.
#include "app/ui/report_printer.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>

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

class PrinterSurface : public PageSurface {
public:
    PrinterSurface(QPrinter &printer, QPainter &painter, const bool &cancelled)
        : printer_(printer), painter_(painter), cancelled_(cancelled),
          ascent_(painter.fontMetrics().ascent()) {}

    void draw_text(int x, int y, std::string_view text) override {
        painter_.drawText(x, y + ascent_, from_ansi(text));
    }
    void next_page() override { printer_.newPage(); }
    bool keep_going() override {
        if (++lines_ % kLinesBetweenEvents == 0) QCoreApplication::processEvents();
        return !cancelled_;
    }

private:
    QPrinter &printer_;
    QPainter &painter_;
    const bool &cancelled_;
    int ascent_;
    std::size_t lines_ = 0;
};

}  // namespace

PrinterMetrics printer_metrics(const QPrinter &printer) {
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    return {qRound(paper.width()), qRound(paper.height()), qRound(page.left() - paper.left()),
            qRound(page.top() - paper.top())};
}

PrintOutcome print_lines(QPrinter &printer, std::span<const std::string_view> lines,
                         QWidget *owner, QWidget *working_window) {
    PrintOutcome outcome;
    printer.setDocName(QString::fromLatin1(kReportDocumentName));
    const PageLayout layout = page_layout(printer_metrics(printer));

    QPainter painter;
    if (!painter.begin(&printer)) {
        show_message(owner, kNothingPrinted, kPrintCaption);
        return outcome;
    }
    bool cancelled = false;
    AbortDialog abort(owner, working_window, cancelled);
    if (working_window) working_window->setEnabled(false);
    abort.show();

    painter.setFont(report_font());
    PrinterSurface surface(printer, painter, cancelled);
    outcome.pages = lay_out_report(lines, layout, surface);
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

PrintOutcome print_report(QWidget *owner, QWidget *working_window,
                          std::span<const std::string_view> lines) {
    QPrinter printer(QPrinter::HighResolution);
    if (!prompts().printer(owner, printer)) {
        show_message(owner, kNothingPrinted, kPrintCaption);
        return {};
    }
    return print_lines(printer, lines, owner, working_window);
}

}  // namespace ledgrove::ui
