// main_window_test.cc - the main window's menu, the About dialog, and the
// ways out of the program: each closes the register and ends the event loop
// with code 0.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QFile>
#include <memory>

#include "app/ui/about_dialog.h"
#include "app/ui/advanced_options_dialog.h"
#include "app/ui/control_ids.h"
#include "app/ui/main_window.h"
#include "app/ui/search_dialog.h"
#include "ui_test_support.h"

using namespace ledgrove::ui;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ui_test::Register> reg_;
    std::unique_ptr<ui_test::Prompts> prompts_;

    QAction *menu_action(MainWindow &window, int id) {
        return window.findChild<QAction *>(QStringLiteral("id%1").arg(id));
    }

    // Runs the event loop until the program ends, doing `step` once it runs;
    // returns the loop's exit code, or -1 when it did not end.
    int run_until_end(const std::function<void()> &step) {
        QTimer::singleShot(0, step);
        QTimer::singleShot(10000, [] { QCoreApplication::exit(-1); });
        return QCoreApplication::exec();
    }

private slots:
    void init() {
        reg_ = std::make_unique<ui_test::Register>();
        QVERIFY(reg_->ok());
        prompts_ = std::make_unique<ui_test::Prompts>();
    }

    void cleanup() {
        prompts_.reset();
        reg_.reset();
    }

    void window_and_menu() {
        MainWindow window(reg_->set());
        QCOMPARE(window.windowTitle(), QString("Ledgrove"));
        const QList<QAction *> menus = window.menuBar()->actions();
        QCOMPARE(menus.size(), 1);
        QCOMPARE(menus[0]->text(), QString("&File"));
        QStringList items;
        for (QAction *a : menus[0]->menu()->actions()) items << a->text() + " " + a->objectName();
        QCOMPARE(items, (QStringList{"&About Ledgrove id40001", "Advanced &Options id40003",
                                     "E&xit id40002"}));
    }

    void ways_out_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Exit") << 0;
        QTest::newRow("main window closed") << 1;
        QTest::newRow("Escape in the search dialog") << 2;
        QTest::newRow("search dialog closed") << 3;
    }

    void ways_out() {
        QFETCH(int, way);
        MainWindow window(reg_->set());
        window.show();
        SearchDialog search(reg_->set(), &window);
        connect(&search, &SearchDialog::end_program, &window, &MainWindow::end_program,
                Qt::QueuedConnection);
        search.show();
        QVERIFY(reg_->set().is_open());
        const int code = run_until_end([&] {
            switch (way) {
                case 0: menu_action(window, ledgrove::control::menu::kExit)->trigger(); break;
                case 1: window.close(); break;
                case 2: QTest::keyClick(&search, Qt::Key_Escape); break;
                case 3: search.close(); break;
            }
        });
        QCOMPARE(code, 0);
        QVERIFY(!reg_->set().is_open());
    }

    void about_dialog() {
        AboutDialog about;
        QCOMPARE(about.windowTitle(), QString("About Ledgrove"));
        QStringList labels;
        for (QLabel *label : about.findChildren<QLabel *>()) labels << label->text();
        QVERIFY(labels.contains(
            "This program was written to help keep government accountable.  If you would like "
            "to use this program to keep an eye on YOUR government, let me know. I can make a "
            "version that uses data from your governmental entity. (municipal, county or "
            "otherwise)"));
        QVERIFY(labels.contains("Please donate what you can to help me write more tools for "
                                "citizen activists to help keep their government open and "
                                "honest.  "));
        QVERIFY(labels[0].startsWith("Ledgrove ("));

        about.show();
        auto *donate = qobject_cast<QPushButton *>(about.control(ledgrove::control::about::kDonate));
        QTest::mouseClick(donate, Qt::LeftButton);
        QTest::mouseClick(donate, Qt::LeftButton);
        QCOMPARE(prompts_->urls.size(), 2);
        QVERIFY(about.isVisible());
        QTest::keyClick(&about, Qt::Key_Return);  // Enter is OK
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), 1);
    }

    // A file that did not open: a notice once, naming it, that blocks
    // nothing; the search dialog still searches what did open.
    void open_notice_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("remove");  // else cut to 100 bytes
        QTest::addColumn<QString>("says");
        QTest::newRow("all files open") << "" << false << "";
        QTest::newRow("name index missing")
            << "ChkRNAM.IX4" << true << "ChkRNAM.IX4 is missing: Vendor Name searches list nothing";
        QTest::newRow("data file damaged")
            << "ChkREG.DBF" << false << "ChkREG.DBF is damaged (error 38): every search lists nothing";
    }

    void open_notice() {
        QFETCH(QString, file);
        QFETCH(bool, remove);
        QFETCH(QString, says);
        reg_->set().close();
        if (remove) {
            QVERIFY(QFile::remove(reg_->path(file)));
        } else if (!file.isEmpty()) {
            QFile f(reg_->path(file));
            QVERIFY(f.open(QIODevice::ReadWrite) && f.resize(40 * 1024) && f.resize(100));
        }
        reg_->set().open();
        MainWindow window(reg_->set());
        window.show();
        SearchDialog search(reg_->set(), &window);
        search.show();
        window.show_open_notice();
        window.show_open_notice();
        const QList<QMessageBox *> boxes = window.findChildren<QMessageBox *>("openNotice");
        if (says.isEmpty()) {
            QCOMPARE(boxes.size(), 0);
            return;
        }
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0]->isVisible());
        QCOMPARE(boxes[0]->windowModality(), Qt::NonModal);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY2(boxes[0]->text().contains(says), qPrintable(boxes[0]->text()));
        QCOMPARE(reg_->set().is_open(), true);
        QCOMPARE(reg_->set().data_open(), file != "ChkREG.DBF");
        QPointer<QMessageBox> box = boxes[0];
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(!box || !box->isVisible());
    }

    void menu_opens_modal_dialogs() {
        MainWindow window(reg_->set());
        window.show();
        QString seen_about, seen_options;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal) seen_about = modal->objectName();
            if (auto *about = qobject_cast<AboutDialog *>(modal))
                QTest::mouseClick(qobject_cast<QPushButton *>(about->control(ledgrove::control::about::kOk)),
                                  Qt::LeftButton);
        });
        menu_action(window, ledgrove::control::menu::kAbout)->trigger();
        QCOMPARE(seen_about, QString("about"));

        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (modal) seen_options = modal->objectName();
            if (modal) QTest::keyClick(modal, Qt::Key_Escape);
        });
        menu_action(window, ledgrove::control::menu::kAdvancedOptions)->trigger();
        QCOMPARE(seen_options, QString("advancedOptions"));
        QVERIFY(reg_->set().is_open());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
