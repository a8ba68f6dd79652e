// window_test.cc - the search window as a user meets it: every control
// inside the window on small and large screens, headings and sort buttons
// exactly over their columns at two text sizes, searches by heading in both
// directions, the status bar, the keyboard, and what is remembered.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <tuple>

#include "app/output/messages.h"
#include "app/output/result_export.h"
#include "app/search/result_lines.h"
#include "app/ui/summary_view.h"
#include "ui_test_support.h"

using namespace ledgrove::control;
using ledgrove::SortOrder;
using ledgrove::ui::from_ansi;
using ledgrove::ui::SearchWindow;

namespace {

// Each order in column order, its "sort" button, and the order of the
// ranked checks of 2007.
struct Order {
    SortOrder order;
    int button;
    const char *ranked;
};
constexpr Order kOrders[] = {
    {SortOrder::CheckID, kSortCheckId, "1234"},         {SortOrder::Date, kSortDate, "4321"},
    {SortOrder::VendorID, kSortVendorId, "2143"},       {SortOrder::VendorName, kSortVendorName, "3412"},
    {SortOrder::PONumber, kSortPoNumber, "4132"},       {SortOrder::Description, kSortDescription, "2413"},
    {SortOrder::Amount, kSortAmount, "3124"},
};

bool is_check(const QString &line) { return ledgrove::is_record_line(ledgrove::ui::to_ansi(line)); }

// The forward lines read backwards, groups kept: the groups in reverse
// order, the checks of each reversed, each closed by its own separator and
// subtotal, a blank line between groups and at the end as forward.
QStringList backwards(const QStringList &forward) {
    QList<QStringList> checks, closings;
    for (const QString &line : forward) {
        if (is_check(line) && (checks.isEmpty() || !closings.last().isEmpty())) {
            checks.append(QStringList());
            closings.append(QStringList());
        }
        (is_check(line) ? checks : closings).last() << line;
    }
    const bool blank_at_end = !closings.isEmpty() && closings.last().endsWith(" ");
    for (QStringList &closing : closings)
        if (closing.endsWith(" ")) closing.removeLast();
    QStringList reversed;
    for (qsizetype g = checks.size() - 1; g >= 0; --g) {
        for (auto line = checks[g].crbegin(); line != checks[g].crend(); ++line) reversed << *line;
        reversed << closings[g];
        if (!closings[g].isEmpty() && (g > 0 || blank_at_end)) reversed << " ";
    }
    return reversed;
}

// The first column from `from` on with ink in the rows [top, bottom).
int first_ink(const QImage &image, int from, int top, int bottom) {
    for (int x = std::max(0, from); x < image.width(); ++x)
        for (int y = top; y < bottom; ++y)
            if (qGray(image.pixel(x, y)) < 160) return x;
    return -1;
}

}  // namespace

class WindowTest : public QObject, ui_test::Fixture {
    Q_OBJECT

    QString text(int id) const { return from_ansi(window->control_text(id)); }
    QHeaderView *header() const { return window->result_view()->header(); }
    void click_heading(int section) {
        QTest::mouseClick(header()->viewport(), Qt::LeftButton, {},
                          QPoint(header()->sectionViewportPosition(section) + 4, header()->height() / 2));
    }
    QString ranked() const {  // the last digit of each ranked check listed, in list order
        QString digits;
        for (const QString &line : lines())
            if (line.startsWith("90000")) digits += line.at(5);
        return digits;
    }
    QString status(const char *name) const { return window->findChild<QLabel *>(name)->text(); }
    int x_in_window(const QWidget *w, int x = 0) const { return w->mapTo(window.get(), QPoint(x, 0)).x(); }

private slots:
    void initTestCase() { QVERIFY(make_register(300)); }

    void init() {
        QSettings("Ledgrove", "Ledgrove").clear();
        open_window();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup() { close_window(); }

    void cleanupTestCase() { QSettings("Ledgrove", "Ledgrove").clear(); }

    void fits_the_screen_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("summary");
        QTest::newRow("1024 x 768") << QSize(1024, 768) << false;
        QTest::newRow("1600 x 1000") << QSize(1600, 1000) << false;
        QTest::newRow("1024 x 768, a summary shown") << QSize(1024, 768) << true;
        QTest::newRow("1600 x 1000, a summary shown") << QSize(1600, 1000) << true;
    }

    void fits_the_screen() {
        QFETCH(QSize, size);
        QFETCH(bool, summary);
        if (summary) {
            qobject_cast<QComboBox *>(widget(kSummarizeBy))->setCurrentIndex(1);
            click(kReport);
        }
        window->resize(900, 600);
        const int small_list = window->result_view()->height();
        window->resize(size);
        QTRY_COMPARE(window->size(), size);
        const QWidget *list = window->result_view();
        for (QWidget *w : window->findChildren<QWidget *>()) {
            if (!w->isVisible() || w->isWindow() || list->isAncestorOf(w)) continue;
            const QRect at(w->mapTo(window.get(), QPoint(0, 0)), w->size());
            QVERIFY2(window->rect().contains(at), qPrintable(w->objectName() + " " + w->metaObject()->className()));
        }
        if (summary) {
            const QTableView *table = window->summary_view()->table();
            QVERIFY(table->isVisible());
            // With room enough, every column of the table shows whole.
            if (size.width() >= 1600) QTRY_VERIFY(!table->horizontalScrollBar()->isVisible());
            return;
        }
        // The list takes the room: all 125 columns, and more lines.
        QVERIFY(!window->result_view()->horizontalScrollBar()->isVisible());
        QVERIFY(window->result_view()->height() > small_list + (size.height() - 600) * 3 / 4);
    }

    // The headings' left edges are the first characters' pixel columns, and
    // the sort buttons stand over them (the amount's at its right end), at
    // two text sizes, the second scrolled sideways.
    void headings_and_sort_buttons_over_columns() {
        std::string marks(ledgrove::kResultLineWidth, ' ');
        for (const ledgrove::ResultColumn &c : ledgrove::kResultColumns) marks[c.first] = 'M';
        window->begin_results().append(marks);
        window->end_results();
        auto *view = window->result_view();
        for (const auto &[points, width, scroll] : {std::tuple(8, 1400, 0), std::tuple(13, 900, 120)}) {
            window->resize(width, 700);
            view->set_point_size(points);
            QApplication::processEvents();
            view->horizontalScrollBar()->setValue(scroll);
            QCOMPARE(view->horizontalScrollBar()->value(), scroll);
            QImage alone(64, 64, QImage::Format_RGB32);  // where an 'M' starts its ink, from its origin
            alone.fill(Qt::white);
            QPainter paint(&alone);
            paint.setFont(view->font());
            paint.drawText(QPointF(8, 40), QStringLiteral("M"));
            paint.end();
            const int bearing = first_ink(alone, 0, 0, 64) - 8;
            const QRect row = view->visualRect(view->model()->index(0, 0));
            const QImage shown = view->viewport()->grab().toImage();
            const int viewport_x = x_in_window(view->viewport());
            QCOMPARE(x_in_window(header()->viewport()), viewport_x);
            int checked = 0;
            for (int i = 0; i < 7; ++i) {
                const int heading = header()->sectionViewportPosition(i);
                if (heading < 0 || heading + 20 > shown.width()) continue;  // scrolled out of sight
                QCOMPARE(first_ink(shown, heading + bearing - 3, row.top(), row.bottom()) - bearing, heading);
                const QWidget *button = widget(kOrders[i].button);
                const int left = x_in_window(button) - viewport_x;
                const bool amount = kOrders[i].order == SortOrder::Amount;
                QCOMPARE(amount ? left + button->width() : left, amount ? heading + header()->sectionSize(i) : heading);
                ++checked;
            }
            QVERIFY(checked >= (scroll ? 4 : 7));
        }
    }

    // A heading gives its order's lines, as its "sort" button does; clicked
    // again, the same lines backwards, groups and subtotals kept; the arrow
    // tells which.  A "sort" button lists forward again.
    void headings_list_forward_then_reverse() {
        qobject_cast<QAbstractButton *>(widget(kSubtotals))->setChecked(true);
        for (std::size_t i = 0; i < std::size(kOrders); ++i) {
            const Order &o = kOrders[i];
            set_years(2007, 2007);
            click(o.button);
            QCOMPARE(ranked(), QString(o.ranked));
            set_years(2000, 2099);
            click(o.button);
            const QStringList forward = lines();
            QVERIFY(forward.size() > 300);
            click(kOrders[(i + 1) % std::size(kOrders)].button);  // another order listed
            QCOMPARE(ledgrove::kResultColumns[i].order, o.order);
            click_heading(int(i));
            QCOMPARE(text(kSortCaption), from_ansi(ledgrove::sort_order_caption(o.order)));
            QCOMPARE(lines(), forward);
            QCOMPARE(header()->sortIndicatorOrder(), Qt::AscendingOrder);
            QCOMPARE(header()->sortIndicatorSection(), int(i));
            click_heading(int(i));
            QCOMPARE(lines(), backwards(forward));
            QCOMPARE(header()->sortIndicatorOrder(), Qt::DescendingOrder);
            click(kReport);  // Report keeps the direction shown
            QCOMPARE(lines(), backwards(forward));
            click(o.button);
            QCOMPARE(lines(), forward);
            QCOMPARE(header()->sortIndicatorOrder(), Qt::AscendingOrder);
        }
        // A refused search leaves the list and the arrow as they were.
        widget(kAmountText)->setProperty("text", "abc");
        click_heading(3);
        QCOMPARE(prompts->messages.size(), 1);
        QCOMPARE(text(kSortCaption), QString("Amount"));
        QCOMPARE(header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(header()->sortIndicatorSection(), 6);
    }

    void status_bar() {
        set_years(2000, 2099);
        qobject_cast<QAbstractButton *>(widget(kSubtotals))->setChecked(true);
        click(kSortVendorName);
        QVERIFY(QRegularExpression("^Search: [0-9,]+ ms$").match(status("timeStatus")).hasMatch());
        QVERIFY(status("registerStatus").endsWith(": 305 checks"));
        QCOMPARE(status("selectionStatus"), QString());
        // Checks and subtotal lines selected: the checks' amounts summed,
        // here read from the lines as a clerk would.
        std::int64_t cents = 0;
        int checks = 0;
        for (int r = 0; r < 40; ++r) {
            select_rows({r});
            if (!is_check(line(r))) continue;
            ++checks;
            cents += std::llround(line(r).mid(110).remove(',').trimmed().toDouble() * 100);
        }
        QVERIFY(checks > 10 && checks < 40);
        QTRY_COMPARE(status("selectionStatus"), from_ansi(ledgrove::messages::selection_status(checks, cents)));
        window->result_view()->clearSelection();
        QTRY_COMPARE(status("selectionStatus"), QString());
    }

    void keyboard() {
        // Tab in reading order: dates, options, match texts, buttons, list.
        const int order[] = {
            kFromMonth, kFromDay, kFromYear, kFromStepBack, kFromStepForward, kFromStepDays, kAll, kYears,
            kToMonth, kToDay, kToYear, kToStepBack, kToStepForward, kToStepDays, kDatePresets, kSubtotals,
            kSubtotalByMonth, kSummarizeBy, kFiscalStart, kCheckIdText, kMatchCase, kPoNumberText, kVendorNameText,
            kVendorIdText, kAmountOperator, kAmountText, kDescriptionText, kAmountMin, kAmountMax, kAnyText, kReport,
            kPrint, kExport, kDonate, kAdvancedOptions, kCopyToClipboard, kResultTabs, kSortCheckId, kSortDate,
            kSortVendorId, kSortVendorName, kSortPoNumber, kSortDescription, kSortAmount, kResultList, kFromMonth};
        widget(kFromMonth)->setFocus();
        for (int id : order) {
            QWidget *focus = QApplication::focusWidget();
            while (focus && !focus->objectName().startsWith("id")) focus = focus->parentWidget();
            QVERIFY(focus);
            QCOMPARE(focus->objectName(), QStringLiteral("id%1").arg(id));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        // Every mnemonic is one of its own, and Alt and its letter gets there.
        QMap<QChar, QString> taken;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            const QString caption = w->property("text").toString() + w->property("title").toString();
            const qsizetype amp = caption.indexOf(QRegularExpression("&[^&]"));
            if (amp < 0 || w->inherits("QLineEdit")) continue;
            const QChar key = caption[amp + 1].toUpper();
            QVERIFY2(!taken.contains(key), qPrintable(caption + " and " + taken[key]));
            taken[key] = caption;
        }
        QVERIFY(taken.size() >= 24);
        QTest::keyClick(window.get(), Qt::Key_V, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), widget(kVendorNameText));
        QTest::keyClick(window.get(), Qt::Key_R, Qt::AltModifier);  // Report
        QTRY_VERIFY(!lines().isEmpty());
        QTest::keyClick(window.get(), Qt::Key_7, Qt::AltModifier);  // the seventh column's "sort"
        QTRY_COMPARE(text(kSortCaption), QString("Amount"));
        // Ctrl+Plus and Ctrl+Minus size the list's text; Ctrl+0 goes back.
        const int points = window->result_view()->point_size();
        QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(window->result_view()->point_size(), points + 2);
        QTest::keyClick(window.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(window->result_view()->point_size(), points + 1);
        QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(window->result_view()->point_size(), points);
        // Escape leaves the window open; Ctrl+Q closes it and the register,
        // and the next window opens with the same size and text size.
        QTest::keyClick(widget(kDescriptionText), Qt::Key_Escape);
        QVERIFY(window->isVisible());
        window->resize(1100, 650);
        QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window->isVisible() && !reg->set().is_open());
        open_window();
        QCOMPARE(window->size(), QSize(1100, 650));
        QCOMPARE(window->result_view()->point_size(), points + 1);
    }

    void enter_in_any_field_searches() {
        for (int id : {kCheckIdText, kVendorNameText, kAmountText, kFromStepDays, kFromMonth, kToYear,
                       kAmountOperator, kSubtotals, kResultList}) {
            set_years(2007, 2007);
            click(kSortCheckId);
            window->clear_results();
            widget(id)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY2(ranked() == "1234", qPrintable(QString::number(id)));
        }
    }

    // Typed text goes to the search in the register's code page, any case.
    void match_texts_and_code_page() {
        widget(kVendorNameText)->setProperty("text", QString::fromUtf8("caf\u00e9"));
        set_years(2000, 2099);
        click(kReport);
        QCOMPARE(lines().size(), 1);
        QVERIFY(lines()[0].contains(QString::fromUtf8("CAF\u00c9 \u20ac SHOP")));
        QTest::keyClicks(widget(kCheckIdText), "W22-2145");  // letters and punctuation, up to six
        QCOMPARE(text(kCheckIdText), QString("W22-21"));
    }

    void advanced_options_open_once() {
        click(kAdvancedOptions);
        click(kAdvancedOptions);  // raises the one open
        const auto opened = window->findChildren<QDialog *>("advancedOptions");
        QVERIFY(opened.size() == 1 && opened[0]->isVisible() && !opened[0]->isModal());
    }
};

int run_window_tests(int argc, char **argv) { return ui_test::run<WindowTest>(argc, argv); }

#include "window_test.moc"
