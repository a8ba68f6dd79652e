// search_dialog_test.cc - the search dialog driven through its widgets:
// its template, initial values, searches by button and key, dates, copying
// and the messages it shows.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <ctime>
#include <memory>

#include "app/search/date_range.h"
#include "app/ui/advanced_options_dialog.h"
#include "app/ui/ansi_text.h"
#include "app/ui/control_ids.h"
#include "app/ui/search_dialog.h"
#include "sample_register.h"
#include "ui_test_support.h"

using namespace ledgrove::control;
using ledgrove::ui::SearchDialog;

class SearchDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui_test::Register> reg_;
    std::unique_ptr<ui_test::Prompts> prompts_;
    std::unique_ptr<SearchDialog> dialog_;

    QString text(int id) const { return ledgrove::ui::from_ansi(dialog_->control_text(id)); }
    template <class W>
    W *widget(int id) const {
        W *w = qobject_cast<W *>(dialog_->control(id));
        if (!w) qFatal("no control %d of that kind", id);
        return w;
    }
    void click(int id) { QTest::mouseClick(widget<QPushButton>(id), Qt::LeftButton); }
    void set_date(int month, int day, int year, const QString &mmddyyyy) {
        widget<QComboBox>(month)->setEditText(mmddyyyy.mid(0, 2));
        widget<QComboBox>(day)->setEditText(mmddyyyy.mid(3, 2));
        widget<QComboBox>(year)->setEditText(mmddyyyy.mid(6));
    }
    QString date(int month, int day, int year) const {
        return text(month) + "/" + text(day) + "/" + text(year);
    }
    QString from_date() const { return date(kFromMonth, kFromDay, kFromYear); }
    QString to_date() const { return date(kToMonth, kToDay, kToYear); }
    QString line(int row) const {
        return dialog_->result_view()->model()->index(row, 0).data().toString();
    }
    // The last digit of each listed check id, in list order.
    QString listed_checks() const {
        QString order;
        for (int r = 0; r < dialog_->result_view()->model()->rowCount(); ++r)
            order += line(r).at(5);
        return order;
    }
    void select_rows(std::initializer_list<int> rows) {
        auto *selection = dialog_->result_view()->selectionModel();
        for (int r : rows)
            selection->select(dialog_->result_view()->model()->index(r, 0),
                              QItemSelectionModel::Select);
    }

private slots:
    void initTestCase() {
        reg_ = std::make_unique<ui_test::Register>();
        QVERIFY(reg_->ok());
        std::vector<ledgrove::CheckRecord> checks = ui_test::ranked_checks();
        checks.push_back(ui_test::accented_check());
        QVERIFY(reg_->import_records(checks));
    }

    void init() {
        prompts_ = std::make_unique<ui_test::Prompts>();
        dialog_ = std::make_unique<SearchDialog>(reg_->set());
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    void cleanup() {
        dialog_.reset();
        prompts_.reset();
    }

    void template_controls_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("units");
        QTest::newRow("Report") << kReport << "Report" << QRect(17, 11, 50, 14);
        QTest::newRow("Print") << kPrint << "Print" << QRect(17, 30, 50, 14);
        QTest::newRow("Export") << kExport << "Export" << QRect(17, 49, 50, 14);
        QTest::newRow("Copy") << kCopyToClipboard << "Copy to Clipboard" << QRect(547, 95, 64, 14);
        QTest::newRow("Advanced") << kAdvancedOptions << "Advanced Options" << QRect(547, 75, 64, 14);
        QTest::newRow("Donate") << kDonate << "Donate!" << QRect(561, 7, 50, 14);
        QTest::newRow("sort check id") << kSortCheckId << "sort" << QRect(10, 146, 24, 14);
        QTest::newRow("sort amount") << kSortAmount << "sort" << QRect(587, 146, 24, 14);
        QTest::newRow("ALL") << kAll << "ALL" << QRect(276, 26, 16, 14);
        QTest::newRow("To +") << kToStepForward << "+" << QRect(247, 48, 9, 14);
        QTest::newRow("subtotals") << kSubtotals << "Include Subtotals" << QRect(79, 79, 71, 10);
        QTest::newRow("by month") << kSubtotalByMonth << "subtotal Dates by Month" << QRect(165, 79, 93, 10);
        QTest::newRow("From Date") << kFromDateLabel << "From Date:" << QRect(89, 29, 36, 8);
        QTest::newRow("vendor name") << kVendorNameText << "" << QRect(285, 103, 170, 14);
        QTest::newRow("amount") << kAmountText << "" << QRect(192, 121, 47, 14);
        QTest::newRow("records") << kRecordCount << QString(20, ' ') << QRect(499, 123, 56, 8);
        QTest::newRow("elapsed") << kElapsed << QString(20, ' ') << QRect(465, 113, 56, 8);
        QTest::newRow("total") << kTotalAmount << QString(20, ' ') << QRect(542, 341, 64, 8);
        QTest::newRow("unused") << kUnused << QString(20, ' ') << QRect(509, 132, 56, 8);
        QTest::newRow("list") << kResultList << "" << QRect(7, 169, 604, 169);
    }

    void template_controls() {
        QFETCH(int, id);
        QFETCH(QString, caption);
        QFETCH(QRect, units);
        QWidget *w = dialog_->findChild<QWidget *>(QStringLiteral("id%1").arg(id));
        QVERIFY(w);
        QCOMPARE(text(id), caption);
        // Dialog units from the dialog font: x * average width / 4, y * height / 8.
        const QFontMetrics fm(dialog_->font());
        const int bx = (fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
        const int by = fm.height();
        auto px = [](int u, int base, int div) { return (u * base + div / 2) / div; };
        QCOMPARE(w->x(), px(units.x(), bx, 4));
        QCOMPARE(w->y(), px(units.y(), by, 8));
        QCOMPARE(w->width(), px(units.width(), bx, 4));
        if (!qobject_cast<QComboBox *>(w)) QCOMPARE(w->height(), px(units.height(), by, 8));
        QCOMPARE(dialog_->size(), QSize(px(618, bx, 4), px(356, by, 8)));
        QCOMPARE(dialog_->windowTitle(), QString("Check Register Inquiry"));
    }

    void tab_order_follows_the_template() {
        const int expected[] = {kReport, kPrint, kExport, kFromMonth, kFromDay, kFromYear,
                                kFromStepBack, kFromStepForward, kFromStepDays, kAll, kYears,
                                kToMonth, kToDay, kToYear, kToStepBack, kToStepForward,
                                kToStepDays, kDonate, kAdvancedOptions, kCopyToClipboard,
                                kSubtotals, kSubtotalByMonth, kCheckIdText, kMatchCase, kPoNumberText,
                                kVendorNameText, kVendorIdText, kAmountOperator, kAmountText,
                                kDescriptionText, kSortCheckId, kSortDate, kSortVendorId,
                                kSortVendorName, kSortPoNumber, kSortDescription, kSortAmount,
                                kResultList, kReport};
        dialog_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
        widget<QPushButton>(kReport)->setFocus();
        for (int id : expected) {
            QWidget *focus = QApplication::focusWidget();
            while (focus && !focus->objectName().startsWith("id")) focus = focus->parentWidget();
            QVERIFY(focus);
            QCOMPARE(focus->objectName(), QStringLiteral("id%1").arg(id));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }

    void initial_values() {
        // The register's first and last dates.
        QCOMPARE(from_date(), QString("01/01/2005"));
        QCOMPARE(to_date(), QString("01/04/2007"));
        QCOMPARE(text(kAmountOperator), QString("="));
        QCOMPARE(text(kYears), QString("????"));
        QCOMPARE(text(kFromStepDays), QString("1"));
        QCOMPARE(text(kToStepDays), QString("1"));
        QCOMPARE(text(kSortCaption), QString("Date"));
        QVERIFY(!dialog_->is_checked(kSubtotals));
        QVERIFY(!dialog_->is_checked(kSubtotalByMonth));
        QCOMPARE(dialog_->result_view()->model()->rowCount(), 0);

        auto items = [this](int id) {
            QStringList list;
            for (int i = 0; i < widget<QComboBox>(id)->count(); ++i)
                list << widget<QComboBox>(id)->itemText(i);
            return list;
        };
        QStringList years{"????"}, listed, months, days;
        for (int y = 2005; y <= ledgrove::current_year(); ++y) years << QString::number(y);
        for (int y = 2000; y <= ledgrove::current_year(); ++y) listed << QString::number(y);
        for (int m = 1; m <= 12; ++m) months << QString::asprintf("%02d", m);
        for (int d = 1; d <= 31; ++d) days << QString::asprintf("%02d", d);
        QCOMPARE(items(kYears), years);
        QCOMPARE(items(kFromYear), listed);
        QCOMPARE(items(kToYear), listed);
        QCOMPARE(items(kFromMonth), months);
        QCOMPARE(items(kToDay), days);
        QCOMPARE(items(kAmountOperator), (QStringList{"<", "=", ">"}));
        QVERIFY(widget<QPushButton>(kReport)->isDefault());
        QCOMPARE(dialog_->result_view()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(dialog_->result_view()->uniformItemSizes());
        QCOMPARE(QFontInfo(dialog_->result_view()->font()).pointSize(), 8);
        QVERIFY(QFontInfo(dialog_->result_view()->font()).fixedPitch());
    }

    void sort_buttons_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("checks");
        QTest::newRow("Check ID") << kSortCheckId << "Check ID" << "1234";
        QTest::newRow("Date") << kSortDate << "Date" << "4321";
        QTest::newRow("Vendor ID") << kSortVendorId << "Vendor ID" << "2143";
        QTest::newRow("Vendor Name") << kSortVendorName << "Vendor Name" << "3412";
        QTest::newRow("PO Number") << kSortPoNumber << "PO Number" << "4132";
        QTest::newRow("Description") << kSortDescription << "Description" << "2413";
        QTest::newRow("Amount") << kSortAmount << "Amount" << "3124";
    }

    void sort_buttons() {
        QFETCH(int, button);
        QFETCH(QString, caption);
        QFETCH(QString, checks);
        set_date(kFromMonth, kFromDay, kFromYear, "01/01/2007");
        click(button);
        QCOMPARE(text(kSortCaption), caption);
        QCOMPARE(listed_checks(), checks);
        QCOMPARE(text(kRecordCount), QString("4"));
        QCOMPARE(text(kTotalAmount), QString("4,321"));
        QCOMPARE(text(kElapsed), QString("0 seconds"));

        // Enter in a field searches again in the same order: here without
        // the check of 01/04/2007.
        set_date(kToMonth, kToDay, kToYear, "01/03/2007");
        QLineEdit *amount = widget<QLineEdit>(kAmountText);
        amount->setFocus();
        QTest::keyClick(amount, Qt::Key_Return);
        QCOMPARE(text(kSortCaption), caption);
        QCOMPARE(listed_checks(), QString(checks).remove('1'));
        // And so does the "Report" button.
        set_date(kFromMonth, kFromDay, kFromYear, "01/02/2007");
        click(kReport);
        QCOMPARE(listed_checks(), QString(checks).remove('1').remove('4'));
        QCOMPARE(text(kRecordCount), QString("2"));
    }

    void enter_in_any_field_runs_the_report_data() {
        QTest::addColumn<int>("id");
        for (int id : {kCheckIdText, kPoNumberText, kVendorNameText, kVendorIdText, kAmountText,
                       kDescriptionText, kFromStepDays, kFromMonth, kToYear, kAmountOperator})
            QTest::newRow(qPrintable(QString::number(id))) << id;
    }

    void enter_in_any_field_runs_the_report() {
        QFETCH(int, id);
        QWidget *field = dialog_->control(id);
        if (auto *combo = qobject_cast<QComboBox *>(field)) field = combo->lineEdit();
        set_date(kFromMonth, kFromDay, kFromYear, "01/01/2007");
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(listed_checks(), QString("4321"));
    }

    void match_fields_and_code_page() {
        // Typed text stays as typed and finds the name in any case; the list
        // shows the register's 1252 text.
        QLineEdit *name = widget<QLineEdit>(kVendorNameText);
        QTest::keyClicks(name, "caf");
        QTest::sendKeyEvent(QTest::Click, name, Qt::Key_Eacute, QString::fromUtf8("\u00e9"),
                            Qt::NoModifier);
        QCOMPARE(text(kVendorNameText), QString::fromUtf8("caf\u00e9"));
        click(kReport);
        QCOMPARE(dialog_->result_view()->model()->rowCount(), 1);
        QVERIFY(line(0).contains(QString::fromUtf8("CAF\u00c9 \u20ac SHOP")));
        widget<QCheckBox>(kMatchCase)->setChecked(true);
        click(kReport);
        QCOMPARE(dialog_->result_view()->model()->rowCount(), 0);
        // The check id box takes letters and punctuation, up to six.
        QTest::keyClicks(widget<QLineEdit>(kCheckIdText), "W22-2145");
        QCOMPARE(text(kCheckIdText), QString("W22-21"));
    }

    void dates_as_typed_and_refused_inputs() {
        // "1" stays 1 (no completion into "10") and is read as 01.
        QComboBox *day = widget<QComboBox>(kToDay);
        day->lineEdit()->clear();
        QTest::keyClicks(day->lineEdit(), "3");
        QCOMPARE(text(kToDay), QString("3"));
        widget<QComboBox>(kToMonth)->setEditText("1");
        set_date(kFromMonth, kFromDay, kFromYear, "01/01/2007");
        click(kSortCheckId);
        QCOMPARE(listed_checks(), QString("234"));
        QVERIFY(prompts_->messages.isEmpty());

        // A From date after the To date, or an Amount that is no amount, is
        // told and leaves the list as it was.
        struct Refused {
            QString from, amount, field;
        };
        for (const Refused &r : {Refused{"02/01/2007", "", "From date"},
                                 Refused{"01/01/2007", "abc", "Amount"}}) {
            set_date(kFromMonth, kFromDay, kFromYear, r.from);
            widget<QLineEdit>(kAmountText)->setText(r.amount);
            prompts_->messages.clear();
            click(kSortAmount);
            QCOMPARE(prompts_->messages.size(), 1);
            QVERIFY(prompts_->messages[0].text.contains(r.field));
            QCOMPARE(listed_checks(), QString("234"));
            QCOMPARE(text(kSortCaption), QString("Check ID"));
        }
        widget<QLineEdit>(kAmountText)->setText("$1,000.00");
        click(kSortAmount);
        widget<QComboBox>(kAmountOperator)->setCurrentIndex(2);  // ">"
        click(kReport);
        QCOMPARE(listed_checks(), QString("4"));
        QCOMPARE(text(kSortCaption), QString("Amount"));
    }

    void years_box() {
        QComboBox *years = widget<QComboBox>(kYears);
        const int y2008 = years->findText("2008");
        QVERIFY(y2008 > 0);
        years->setCurrentIndex(y2008);
        emit years->activated(y2008);
        QCOMPARE(from_date(), QString("01/01/2008"));
        QCOMPARE(to_date(), QString("12/31/2008"));
        QCOMPARE(dialog_->result_view()->model()->rowCount(), 0);  // no search

        set_date(kFromMonth, kFromDay, kFromYear, "05/06/2007");
        years->setCurrentIndex(0);
        emit years->activated(0);  // "????" leaves the dates alone
        QCOMPARE(from_date(), QString("05/06/2007"));
        QCOMPARE(to_date(), QString("12/31/2008"));

        click(kAll);
        QCOMPARE(from_date(), QString("01/01/2005"));
        QCOMPARE(to_date(), QString("01/04/2007"));
        QCOMPARE(dialog_->result_view()->model()->rowCount(), 0);
    }

    void date_steps_data() {
        QTest::addColumn<bool>("from_row");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("sign");
        QTest::addColumn<QString>("expected");
        QTest::newRow("year end") << true << "1" << "12/31/2007" << 1 << "01/01/2008";
        QTest::newRow("leap day") << true << "1" << "03/01/2008" << -1 << "02/29/2008";
        QTest::newRow("week") << true << "7" << "01/28/2007" << 1 << "02/04/2007";
        QTest::newRow("To row back") << false << "2" << "01/01/2008" << -1 << "12/30/2007";
        QTest::newRow("two digits") << false << "45" << "01/01/2007" << 1 << "02/15/2007";
        QTest::newRow("impossible date") << true << "0" << "02/31/2007" << 1 << "03/03/2007";
        QTest::newRow("no number") << false << "x" << "04/31/2007" << -1 << "05/01/2007";
        QTest::newRow("month 13") << true << "1" << "13/01/2007" << 1 << "01/02/2008";
        QTest::newRow("day 0") << true << "1" << "03/00/2008" << -1 << "02/28/2008";
        // Across the spring change of daylight-saving time (New York, set
        // below): a step of 24 hours back from local midnight would give
        // 03/10.
        QTest::newRow("DST spring back") << true << "1" << "03/12/2007" << -1 << "03/11/2007";
        QTest::newRow("DST autumn") << false << "1" << "11/04/2007" << 1 << "11/05/2007";
    }

    void date_steps() {
        QFETCH(bool, from_row);
        QFETCH(QString, step);
        QFETCH(QString, start);
        QFETCH(int, sign);
        QFETCH(QString, expected);
        qputenv("TZ", "America/New_York");
        tzset();
        const int month = from_row ? kFromMonth : kToMonth;
        const int day = from_row ? kFromDay : kToDay;
        const int year = from_row ? kFromYear : kToYear;
        widget<QLineEdit>(from_row ? kFromStepDays : kToStepDays)->setText(step);
        set_date(month, day, year, start);
        if (from_row)
            click(sign > 0 ? kFromStepForward : kFromStepBack);
        else
            click(sign > 0 ? kToStepForward : kToStepBack);
        QCOMPARE(date(month, day, year), expected);
        QCOMPARE(dialog_->result_view()->model()->rowCount(), 0);  // no search
        qunsetenv("TZ");
        tzset();
    }

    void copy_takes_exactly_the_selection_data() {
        QTest::addColumn<bool>("by_key");
        QTest::newRow("Copy to Clipboard") << false;
        QTest::newRow("Ctrl+C in the list") << true;
    }

    void copy_takes_exactly_the_selection() {
        QFETCH(bool, by_key);
        click(kSortCheckId);
        QGuiApplication::clipboard()->setText("before");
        select_rows({0, 2, 3});
        if (by_key)
            QTest::keyClick(dialog_->result_view(), Qt::Key_C, Qt::ControlModifier);
        else
            click(kCopyToClipboard);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 line(0) + "\r\n" + line(2) + "\r\n" + line(3) + "\r\n");
        QVERIFY(line(2).startsWith("900003 01/02/2007 V4"));
        QVERIFY(!dialog_->result_view()->selectionModel()->hasSelection());
        QVERIFY(prompts_->messages.isEmpty());
    }

    void large_selections_are_taken_whole() {
        // More lines than a fixed block of 5,200,000 bytes or a cap of
        // 60,000 selected lines would take, filled through the dialog's
        // result list as a search fills it.
        constexpr int kLines = 70000;
        ledgrove::ResultList &list = dialog_->begin_results();
        list.clear();
        for (int i = 0; i < kLines; ++i) {
            std::string line = std::to_string(900000 + i) + " 01/02/2007 V1" + std::string(105, ' ');
            line.replace(110, 15, "         100.00");
            list.append(line);
        }
        dialog_->end_results();
        QCOMPARE(dialog_->result_view()->model()->rowCount(), kLines);

        dialog_->result_view()->selectAll();
        click(kCopyToClipboard);
        const QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE(copied.count(QStringLiteral("\r\n")), kLines);
        QCOMPARE(copied.size(), kLines * (125 + 2));
        QVERIFY(copied.endsWith(line(kLines - 1) + "\r\n"));

        dialog_->result_view()->selectAll();
        prompts_->files << reg_->path("many.csv");
        click(kExport);
        const std::string written = ui_test::read_file(reg_->path("many.csv"));
        QCOMPARE(QByteArray::fromStdString(written).count("\r\n"), kLines);
        QVERIFY(written.size() > 8000000u);
        QCOMPARE(prompts_->messages.size(), 1);  // the lines written
    }

    void copy_keeps_code_page_characters() {
        set_date(kFromMonth, kFromDay, kFromYear, "01/01/2005");
        set_date(kToMonth, kToDay, kToYear, "12/31/2005");
        click(kReport);
        select_rows({0});
        click(kCopyToClipboard);
        QVERIFY(QGuiApplication::clipboard()->text().contains(QString::fromUtf8("CAF\u00c9 \u20ac")));
    }

    void nothing_selected_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("copy") << kCopyToClipboard;
        QTest::newRow("print") << kPrint;
        QTest::newRow("export") << kExport;
    }

    void nothing_selected() {
        QFETCH(int, button);
        click(kReport);
        QGuiApplication::clipboard()->setText("before");
        click(button);
        QCOMPARE(prompts_->messages.size(), 1);
        QCOMPARE(prompts_->messages[0].text, QString("You must select at least one line!"));
        QCOMPARE(prompts_->messages[0].caption, QString("No Selection!"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
        QCOMPARE(prompts_->print_dialogs, 0);
        QVERIFY(prompts_->file_titles.isEmpty());
    }

    void escape_ends_the_program() {
        QSignalSpy ended(dialog_.get(), &SearchDialog::end_program);
        QTest::keyClick(widget<QLineEdit>(kDescriptionText), Qt::Key_Escape);
        QCOMPARE(ended.count(), 1);
        QVERIFY(!dialog_->isVisible());
    }

    void donate_opens_the_page() {
        click(kDonate);
        click(kDonate);
        QCOMPARE(prompts_->urls.size(), 2);
        QCOMPARE(prompts_->urls[0], QUrl(ledgrove::ui::kDonationAddress));
        QVERIFY(dialog_->isVisible());
    }

    void advanced_options_once_and_emptied_clears_the_list() {
        click(kReport);
        QVERIFY(dialog_->result_view()->model()->rowCount() > 0);
        click(kAdvancedOptions);
        click(kAdvancedOptions);  // raises the one open
        const auto opened = dialog_->findChildren<ledgrove::ui::AdvancedOptionsDialog *>();
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0]->isVisible());
        QVERIFY(!opened[0]->isModal());
        // Lines of a register that was emptied are gone with it.
        emit opened[0]->register_emptied();
        QCOMPARE(dialog_->result_view()->model()->rowCount(), 0);
        QCOMPARE(text(kRecordCount), QString(ledgrove::ui::kStatusLabelText));
        QCOMPARE(text(kTotalAmount), QString(ledgrove::ui::kStatusLabelText));
        opened[0]->close();
    }
};

QTEST_MAIN(SearchDialogTest)
#include "search_dialog_test.moc"
