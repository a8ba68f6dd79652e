// main_window.cc - the main window and its File menu.
#include "app/ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenuBar>
#include <QMessageBox>

#include "app/store/open_notice.h"
#include "app/ui/about_dialog.h"
#include "app/ui/advanced_options_dialog.h"
#include "app/ui/control_ids.h"
#include "app/ui/dialog_template.h"

namespace ledgrove::ui {
namespace {

constexpr int kWidth = 150, kHeight = 52;

}  // namespace

MainWindow::MainWindow(DatabaseSet &set) : set_(set) {
    setObjectName(QStringLiteral("Ledgrove"));
    setWindowTitle(QStringLiteral("Ledgrove"));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    resize(kWidth, kHeight);

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction *about = file->addAction(QStringLiteral("&About Ledgrove"), this, &MainWindow::about);
    QAction *advanced = file->addAction(QStringLiteral("Advanced &Options"), this,
                                        &MainWindow::advanced_options);
    QAction *exit = file->addAction(QStringLiteral("E&xit"), this, &MainWindow::end_program);
    // The items keep their menu ids as object names ("id40001").
    about->setObjectName(object_name(control::menu::kAbout));
    advanced->setObjectName(object_name(control::menu::kAdvancedOptions));
    exit->setObjectName(object_name(control::menu::kExit));
}

void MainWindow::about() {
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::advanced_options() {
    if (AdvancedOptionsDialog *open = shown_advanced_options(this)) {
        open->raise();
        open->activateWindow();
        return;
    }
    AdvancedOptionsDialog dialog(set_, this);
    connect(&dialog, &AdvancedOptionsDialog::end_program, this, &MainWindow::end_program,
            Qt::QueuedConnection);
    connect(&dialog, &AdvancedOptionsDialog::register_emptied, this,
            &MainWindow::register_emptied);
    dialog.exec();
}

void MainWindow::show_open_notice() {
    if (open_notice_shown_) return;
    const std::string text = register_open_notice(set_.failures());
    if (text.empty()) return;
    open_notice_shown_ = true;
    // Not a prompt: nothing waits on it, and the search dialog stays usable.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Ledgrove"),
                                QString::fromStdString(text), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("openNotice"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    set_.close();
    event->accept();
    QCoreApplication::exit(0);
}

}  // namespace ledgrove::ui
