// user_prompts.cc - the real dialogs behind the prompts.
#include "app/ui/user_prompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "app/ui/ansi_text.h"

namespace ledgrove::ui {
namespace {

bool real_message(QWidget *owner, const QString &text, const QString &caption,
                  MessageButtons buttons) {
    const bool yes_no = buttons == MessageButtons::YesNo;
    QMessageBox box(QMessageBox::NoIcon, caption, text,
                    yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
    // Every question asks before a change that cannot be taken back: Enter
    // must not be the way to say yes.
    if (yes_no) box.setDefaultButton(QMessageBox::No);
    const int answer = box.exec();
    return yes_no ? answer == QMessageBox::Yes : true;
}

// The extension in a filter such as "JSON (*.json)".
QString filter_suffix(const QString &filter) {
    const qsizetype dot = filter.lastIndexOf(QLatin1String("*."));
    return dot < 0 ? QString() : filter.mid(dot + 2).chopped(1);
}

QString real_file(QWidget *owner, FileChoice kind, const QString &title) {
    const char *filters = kind == FileChoice::SaveTable   ? kTableFilters
                          : kind == FileChoice::SaveChart ? kChartFilters
                                                          : kCsvFilter;
    QFileDialog dialog(owner, title, QDir::currentPath(), QString::fromLatin1(filters));
    dialog.setDefaultSuffix(filter_suffix(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &filter) { dialog.setDefaultSuffix(filter_suffix(filter)); });
    if (kind == FileChoice::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

bool real_printer(QWidget *owner, QPrinter &printer, bool selection) {
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, selection);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

UserPrompts real_prompts() {
    return {real_message, real_file, real_printer,
            [](const QUrl &url) { QDesktopServices::openUrl(url); },
            [](QWidget *owner, const QString &title, const QString &label) {
                return QInputDialog::getText(owner, title, label).trimmed();
            }};
}

UserPrompts &prompts() {
    static UserPrompts current = real_prompts();
    return current;
}

bool show_message(QWidget *owner, std::string_view text, std::string_view caption,
                  MessageButtons buttons) {
    return prompts().message(owner, from_ansi(text), from_ansi(caption), buttons);
}

QString choose_file(QWidget *owner, FileChoice kind, const QString &title) {
    WorkingDirectoryGuard keep;
    return prompts().file(owner, kind, title);
}

WorkingDirectoryGuard::WorkingDirectoryGuard() : saved_(QDir::currentPath()) {}
WorkingDirectoryGuard::~WorkingDirectoryGuard() { QDir::setCurrent(saved_); }

}  // namespace ledgrove::ui
