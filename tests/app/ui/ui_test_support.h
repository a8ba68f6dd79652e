// ui_test_support.h - what the window's tests share: a register built in a
// scratch directory through the core's own emptying, import and rebuild;
// prompts that answer message boxes, file dialogs and the print dialog at
// once while recording what the program asked (and give names when asked); sample checks; the window
// over them; and the pages of a printed PDF as text.
#ifndef LEDGROVE_TESTS_APP_UI_UI_TEST_SUPPORT_H
#define LEDGROVE_TESTS_APP_UI_UI_TEST_SUPPORT_H

#include <QAbstractButton>
#include <QFile>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/maint/demo_register.h"
#include "app/maint/empty_data_file.h"
#include "app/maint/empty_register.h"
#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/output/csv_line.h"
#include "app/support/records.h"
#include "app/ui/ansi_text.h"
#include "app/ui/control_ids.h"
#include "app/ui/result_view.h"
#include "app/ui/search_window.h"
#include "app/ui/user_prompts.h"

namespace ui_test {

inline std::string read_file(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}
inline bool write_file(const QString &path, const std::string &text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())) == qint64(text.size());
}

// Four checks whose fields rank them differently in each of the seven
// orders, so the order of their check ids tells which order a search used,
// and a fifth from 2005 with code-page characters (0xC9 is E with an acute
// accent, 0x80 the euro sign in code page 1252) in its name.
//   check   date      vendor id  name     PO  description  amount
//   900001  20070104  V2         CHARLIE  P2  C DESC         20.00
//   900002  20070103  V1         DELTA    P4  A DESC        300.00
//   900003  20070102  V4         ALPHA    P3  D DESC          1.00
//   900004  20070101  V3         BRAVO    P1  B DESC       4000.00
inline std::vector<ledgrove::CheckRecord> ranked_checks() {
    using app_test::make_record;
    return {
        make_record("900001", "20070104", "V2", "CHARLIE", "P2", "C DESC", "000000000020.00"),
        make_record("900002", "20070103", "V1", "DELTA", "P4", "A DESC", "000000000300.00"),
        make_record("900003", "20070102", "V4", "ALPHA", "P3", "D DESC", "000000000001.00"),
        make_record("900004", "20070101", "V3", "BRAVO", "P1", "B DESC", "000000004000.00"),
    };
}
inline ledgrove::CheckRecord accented_check() {
    return app_test::make_record("900005", "20050101", "V5", "CAF\xC9 \x80 SHOP", "P5", "COFFEE",
                                 "000000000005.00");
}

// A register in its own directory: empty.dbf, ReadMe.txt, ChkREG.DBF and
// the eight indexes, the set open.
struct Register {
    QTemporaryDir dir;
    ledgrove::DatabaseSet set_{dir.path().toStdString()};
    bool ok = ledgrove::create_empty_data_file(path("empty.dbf").toStdString()) == 0 &&
              ledgrove::empty_register(set_, path("empty.dbf").toStdString()).ok() &&
              write_file(path("ReadMe.txt"), "notes\r\n") && (set_.open(), set_.failures().empty());

    QString path(const QString &name) const { return dir.filePath(name); }
    ledgrove::DatabaseSet &set() { return set_; }
    std::uint32_t record_count() { return set_.data_open() ? set_.data()->header.record_count : 0; }
    // Imports register CSV text through the core and rebuilds the indexes.
    bool import_text(const std::string &csv) {
        const ledgrove::ImportReport report =
            write_file(path("load.csv"), csv) ? ledgrove::import_csv(set_, path("load.csv").toStdString())
                                              : ledgrove::ImportReport{};
        return report.imported > 0 && report.skipped.empty() && ledgrove::rebuild_all_indexes(set_).ok();
    }
};

struct Message {
    QString text, caption;
    ledgrove::ui::MessageButtons buttons;
};

// Installs answering prompts for its lifetime.
struct Prompts {
    QVector<Message> messages;
    QVector<bool> answers;  // answers to the next message boxes; then OK / Yes
    QStringList files;      // answers to the next file dialogs; then cancel
    QStringList file_titles;
    QStringList texts;      // answers to the next text prompts; then cancel
    std::function<bool(QPrinter &)> set_up_printer;  // none: the print dialog is cancelled
    int print_dialogs = 0;
    bool selection_offered = false;
    const ledgrove::ui::UserPrompts saved = ledgrove::ui::prompts();

    Prompts() {
        ledgrove::ui::prompts() = {
            [this](QWidget *, const QString &text, const QString &caption, ledgrove::ui::MessageButtons buttons) {
                messages.push_back({text, caption, buttons});
                return answers.isEmpty() ? true : answers.takeFirst();
            },
            [this](QWidget *, ledgrove::ui::FileChoice, const QString &title) {
                file_titles.push_back(title);
                return files.isEmpty() ? QString() : files.takeFirst();
            },
            [this](QWidget *, QPrinter &printer, bool selection) {
                ++print_dialogs;
                selection_offered = selection;
                return set_up_printer ? set_up_printer(printer) : false;
            },
            [](const QUrl &) {},
            [this](QWidget *, const QString &, const QString &) { return texts.isEmpty() ? QString() : texts.takeFirst(); }};
    }
    ~Prompts() { ledgrove::ui::prompts() = saved; }
};

// A register with the ranked and accented checks (and `demo` more of the
// demo generator's), the answering prompts, and the window over them.
struct Fixture {
    std::unique_ptr<Register> reg;
    std::unique_ptr<Prompts> prompts;
    std::unique_ptr<ledgrove::ui::SearchWindow> window;

    bool make_register(std::size_t demo, bool accented = true) {
        reg = std::make_unique<Register>();
        std::string csv = ledgrove::demo_register_csv(demo);
        std::vector<ledgrove::CheckRecord> checks = ranked_checks();
        if (accented) checks.push_back(accented_check());
        for (const ledgrove::CheckRecord &r : checks) csv += ledgrove::csv_line_from_record(r);
        return reg->ok && (csv.empty() || reg->import_text(csv));
    }
    void open_window() {
        close_window();  // first: a Prompts puts back the prompts it found
        if (!reg->set().is_open()) reg->set().open();
        prompts = std::make_unique<Prompts>();
        window = std::make_unique<ledgrove::ui::SearchWindow>(reg->set());
        window->show();
    }
    void close_window() { window.reset(), prompts.reset(); }
    QWidget *widget(int id) const { return window->control(id); }
    void click(int id) { QTest::mouseClick(qobject_cast<QAbstractButton *>(widget(id)), Qt::LeftButton); }
    QString line(std::size_t row) const { return ledgrove::ui::from_ansi(window->results().line(row)); }
    QStringList lines() const {
        QStringList all;
        for (std::size_t i = 0; i < window->results().size(); ++i) all << line(i);
        return all;
    }
    QItemSelectionModel *selection() const { return window->result_view()->selectionModel(); }
    void select_rows(std::initializer_list<int> rows) {
        for (int r : rows) selection()->select(window->result_view()->model()->index(r, 0), QItemSelectionModel::Select);
    }
    void set_years(int from, int to) {
        using namespace ledgrove::control;
        for (const auto &[id, text] : {std::pair(kFromMonth, "01"), std::pair(kFromDay, "01"),
                                       std::pair(kToMonth, "12"), std::pair(kToDay, "31")})
            window->set_control_text(id, text);
        window->set_control_text(kFromYear, std::to_string(from));
        window->set_control_text(kToYear, std::to_string(to));
    }
};

// Runs a test class's slots, for the program's main.
template <class Tests>
int run(int argc, char **argv) {
    Tests tests;
    return QTest::qExec(&tests, argc, argv);
}

// The pages of a PDF file as text, one string per page.
inline QStringList pdf_pages(const QString &pdf) {
    QProcess run;
    run.start("pdftotext", {"-layout", pdf, "-"});
    if (!run.waitForFinished(30000) || run.exitCode() != 0) return {};
    QStringList pages = QString::fromUtf8(run.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

}  // namespace ui_test

#endif  // LEDGROVE_TESTS_APP_UI_UI_TEST_SUPPORT_H
