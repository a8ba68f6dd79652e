// main_window.h - the small main window "Ledgrove" that carries the File
// menu and owns every dialog.  The program ends when it closes, whichever
// way that comes: "E&xit", its close box, Escape or the close box of the
// search dialog, or the end of an import.  Closing it closes the register.
#ifndef LEDGROVE_APP_UI_MAIN_WINDOW_H
#define LEDGROVE_APP_UI_MAIN_WINDOW_H

#include <QMainWindow>

#include "app/store/database_set.h"

namespace ledgrove::ui {

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(DatabaseSet &set);

    void end_program() { close(); }

    // Tells the user, once and without blocking, which register files the
    // set could not open and what that costs: an empty result list alone
    // would look like "no payments matched".  Nothing when all opened.
    void show_open_notice();

signals:
    // The menu's Advanced Options emptied the register.
    void register_emptied();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void about();
    void advanced_options();

    DatabaseSet &set_;
    bool open_notice_shown_ = false;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_MAIN_WINDOW_H
