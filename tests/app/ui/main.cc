// main.cc - the window's tests, one program: each class in turn, on the
// offscreen platform, with settings of its own (Qt's test mode).  A class's
// name as the first argument runs it alone: ledgrove_ui_test WindowTest keyboard
#include <QApplication>
#include <QStandardPaths>
#include <cstring>

int run_window_tests(int argc, char **argv);
int run_output_tests(int argc, char **argv);
int run_maintenance_tests(int argc, char **argv);
int run_summary_tests(int argc, char **argv);

int main(int argc, char **argv) {
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // the tests close windows and go on
    const std::pair<const char *, int (*)(int, char **)> classes[] = {
        {"WindowTest", run_window_tests}, {"OutputTest", run_output_tests}, {"MaintenanceTest", run_maintenance_tests},
        {"SummaryTest", run_summary_tests}};
    for (const auto &[name, run] : classes)
        if (argc > 1 && std::strcmp(argv[1], name) == 0) return argv[1] = argv[0], run(argc - 1, argv + 1);
    int failed = 0;
    for (const auto &[name, run] : classes) failed += run(argc, argv) != 0;
    return failed;
}
