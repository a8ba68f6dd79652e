// chart_file.cc - the chart of a summary into a file, with a Qt application
// made on the offscreen platform when the program has none.
#include "app/chart/chart_file.h"

#include <QtWidgets/QApplication>

#include <cctype>
#include <cstdio>
#include <memory>

#include "app/chart/summary_chart.h"

namespace ledgrove {
namespace {

// Qt Charts draws through the widgets' graphics view, which needs a
// QApplication.  It lives until the program ends.
// Qt's own notes (a missing XDG_RUNTIME_DIR, font fallbacks) would be
// stray lines on a command line's standard error, where a failure is told
// in one line; only its critical messages pass.
void quiet_messages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void ensure_application() {
    if (QCoreApplication::instance()) return;
    qInstallMessageHandler(quiet_messages);
    static char program[] = "ledgrove", platform_option[] = "-platform", offscreen[] = "offscreen";
    static char *argv[] = {program, platform_option, offscreen, nullptr};
    static int argc = 3;
    static QApplication application(argc, argv);
}

}  // namespace

bool is_chart_file_name(std::string_view path) {
    if (path.size() < 4) return false;
    std::string tail(path.substr(path.size() - 4));
    for (char &c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png" || tail == ".svg";
}

std::optional<std::string> save_summary_chart(const Summary &summary, const std::string &path,
                                              int width, int height) {
    ensure_application();
    std::unique_ptr<QChart> chart = summary_chart(summary);
    const QString failure = save_chart(*chart, QString::fromStdString(path), QSize(width, height));
    if (failure.isEmpty()) return std::nullopt;
    return failure.toStdString();
}

std::string summary_chart_svg(const Summary &summary, int width, int height) {
    ensure_application();
    std::unique_ptr<QChart> chart = summary_chart(summary);
    return chart_svg(*chart, QSize(width, height)).toStdString();
}

}  // namespace ledgrove
