// user_prompts.h - the places where the program waits on the user outside
// its own dialogs: message boxes, the open and save file dialogs, the print
// dialog, and addresses handed to the desktop (the donation page, the notes
// file).  Each goes through one replaceable function, so tests answer them
// without a window blocking and record what was asked.
#ifndef LEDGROVE_APP_UI_USER_PROMPTS_H
#define LEDGROVE_APP_UI_USER_PROMPTS_H

#include <QString>
#include <QUrl>
#include <functional>
#include <string_view>

class QPrinter;
class QWidget;

namespace ledgrove::ui {

inline constexpr const char *kCsvFilter = "CSVs (*.csv)";
inline constexpr const char *kCsvSuffix = "csv";

// The standard exports (CSV, XLSX, JSON) and the charts (PNG, SVG): the
// format goes by the extension; a name typed without one gets the chosen
// filter's.
inline constexpr const char *kTableFilters = "CSV (*.csv);;Excel workbook (*.xlsx);;JSON (*.json)";
inline constexpr const char *kChartFilters = "PNG image (*.png);;SVG image (*.svg)";

enum class FileChoice { Open, Save, SaveTable, SaveChart };
enum class MessageButtons { Ok, YesNo };

struct UserPrompts {
    // A message box owned by `owner`; true for OK or Yes.  A Yes/No question
    // has No as its default button.
    std::function<bool(QWidget *owner, const QString &text, const QString &caption,
                       MessageButtons buttons)>
        message;
    // A file name from an open or save dialog; empty when cancelled.
    std::function<QString(QWidget *owner, FileChoice kind, const QString &title)> file;
    // Sets up the printer; false when the user cancelled.  With
    // `selection`, the selected lines may be chosen as what is printed.
    std::function<bool(QWidget *owner, QPrinter &printer, bool selection)> printer;
    // Opens an address with the desktop's handler for it.
    std::function<void(const QUrl &url)> open_url;
    // A line of text (a name); empty when cancelled.
    std::function<QString(QWidget *owner, const QString &title, const QString &label)> text;
};

// The prompts in use: the real dialogs until a test replaces them.
UserPrompts &prompts();
UserPrompts real_prompts();

// Shorthands over prompts().
bool show_message(QWidget *owner, std::string_view text, std::string_view caption,
                  MessageButtons buttons = MessageButtons::Ok);
QString choose_file(QWidget *owner, FileChoice kind, const QString &title);

// Keeps the working directory across a file dialog: the register's files
// are named relative to it.
class WorkingDirectoryGuard {
public:
    WorkingDirectoryGuard();
    ~WorkingDirectoryGuard();
    WorkingDirectoryGuard(const WorkingDirectoryGuard &) = delete;
    WorkingDirectoryGuard &operator=(const WorkingDirectoryGuard &) = delete;

private:
    QString saved_;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_USER_PROMPTS_H
