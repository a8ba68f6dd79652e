// main_window.h - the small main window "Ledgrove" that carries the File
// menu and owns every dialog.  The program ends when it closes, whichever
// way that comes: "E&xit", its close box, Escape or the close box of the
// search dialog, or the end of an import.  Closing it closes the register.
#ifndef LEDGROVE_APP_UI_MAIN_WINDOW_H
#define LEDGROVE_APP_UI_MAIN_WINDOW_H

#include <QMainWindow>

#include "app/store/database_set.h"

namespace ledgrove::ui {

// Menu item ids, kept as the actions' object names ("id40001").
inline constexpr int kMenuAbout = 40001;
inline constexpr int kMenuExit = 40002;
inline constexpr int kMenuAdvancedOptions = 40003;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(DatabaseSet &set);

    void end_program() { close(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void about();
    void advanced_options();

    DatabaseSet &set_;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_MAIN_WINDOW_H
