// ui_test_support.h - what the dialog tests share: a register built in a
// scratch directory through the core's own emptying, import and rebuild,
// and prompts that answer message boxes, file dialogs and the print dialog
// at once while recording what the program asked.
#ifndef LEDGROVE_TESTS_APP_UI_UI_TEST_SUPPORT_H
#define LEDGROVE_TESTS_APP_UI_UI_TEST_SUPPORT_H

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QVector>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/output/csv_line.h"
#include "app/store/database_set.h"
#include "app/ui/user_prompts.h"

namespace ui_test {

inline std::string read_file(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

inline bool write_file(const QString &path, const std::string &text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(text.data(), static_cast<qint64>(text.size())) ==
           static_cast<qint64>(text.size());
}

// A register in its own directory: empty.dbf, ReadMe.txt, ChkREG.DBF and
// the eight indexes, the set open.
class Register {
public:
    Register() : set_(dir_.path().toStdString()) {
        ok_ = ledgrove::create_empty_data_file(path("empty.dbf").toStdString()) == 0 &&
              ledgrove::empty_register(set_, path("empty.dbf").toStdString()).ok() &&
              write_file(path("ReadMe.txt"), "notes\r\n");
        set_.open();
        ok_ = ok_ && set_.failures().empty();
    }

    bool ok() const { return ok_; }
    QString path(const QString &name) const { return dir_.filePath(name); }
    ledgrove::DatabaseSet &set() { return set_; }
    std::uint32_t record_count() { return set_.data_open() ? set_.data()->header.record_count : 0; }

    // Imports register CSV text through the core and rebuilds the indexes.
    bool import_text(const std::string &csv) {
        if (!write_file(path("load.csv"), csv)) return false;
        const ledgrove::ImportReport report =
            ledgrove::import_csv(set_, path("load.csv").toStdString());
        return report.ok() && report.skipped.empty() &&
               ledgrove::rebuild_all_indexes(set_).ok() && QFile::remove(path("load.csv"));
    }

    bool import_records(const std::vector<ledgrove::CheckRecord> &records) {
        std::string csv;
        for (const ledgrove::CheckRecord &r : records) csv += ledgrove::csv_line_from_record(r);
        return import_text(csv);
    }

private:
    QTemporaryDir dir_;
    ledgrove::DatabaseSet set_;
    bool ok_ = false;
};

struct Message {
    QString text;
    QString caption;
    ledgrove::ui::MessageButtons buttons;
};

// Installs answering prompts for its lifetime.
class Prompts {
public:
    Prompts() {
        saved_ = ledgrove::ui::prompts();
        ledgrove::ui::UserPrompts &p = ledgrove::ui::prompts();
        p.message = [this](QWidget *, const QString &text, const QString &caption,
                           ledgrove::ui::MessageButtons buttons) {
            messages.push_back({text, caption, buttons});
            if (answers.isEmpty()) return true;
            return answers.takeFirst();
        };
        p.file = [this](QWidget *, ledgrove::ui::FileChoice kind, const QString &title) {
            file_titles.push_back(title);
            file_kinds.push_back(kind);
            return files.isEmpty() ? QString() : files.takeFirst();
        };
        p.printer = [this](QWidget *, QPrinter &printer) {
            ++print_dialogs;
            return set_up_printer ? set_up_printer(printer) : false;
        };
        p.open_url = [this](const QUrl &url) { urls.push_back(url); };
    }
    ~Prompts() { ledgrove::ui::prompts() = saved_; }
    Prompts(const Prompts &) = delete;
    Prompts &operator=(const Prompts &) = delete;

    QVector<Message> messages;
    QVector<bool> answers;  // answers to the next message boxes; then OK / Yes
    QStringList files;      // answers to the next file dialogs; then cancel
    QStringList file_titles;
    QVector<ledgrove::ui::FileChoice> file_kinds;
    std::function<bool(QPrinter &)> set_up_printer;  // none: the print dialog is cancelled
    int print_dialogs = 0;
    QVector<QUrl> urls;

private:
    ledgrove::ui::UserPrompts saved_;
};

}  // namespace ui_test

#endif  // LEDGROVE_TESTS_APP_UI_UI_TEST_SUPPORT_H
