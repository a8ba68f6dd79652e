// main.cc - the window's tests, one program: each class runs in turn on
// the offscreen platform with settings of its own (Qt's test mode), so
// nothing of the user's is read or written.  A class's name as the first
// argument runs that class alone, with Qt Test's options after it:
//   ledgrove_ui_test WindowTest keyboard
#include <QApplication>
#include <QStandardPaths>
#include <cstring>

int run_window_tests(int argc, char **argv);
int run_output_tests(int argc, char **argv);
int run_maintenance_tests(int argc, char **argv);

int main(int argc, char **argv) {
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // the tests close windows and go on
    const struct {
        const char *name;
        int (*run)(int, char **);
    } classes[] = {{"WindowTest", run_window_tests},
                   {"OutputTest", run_output_tests},
                   {"MaintenanceTest", run_maintenance_tests}};
    int failed = 0;
    for (const auto &c : classes) {
        if (argc > 1 && std::strcmp(argv[1], c.name) == 0) {
            argv[1] = argv[0];
            return c.run(argc - 1, argv + 1);
        }
    }
    for (const auto &c : classes) failed += c.run(argc, argv) != 0;
    return failed;
}
