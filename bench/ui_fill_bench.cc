// ui_fill_bench.cc - the search window's result list with a million lines:
// the time to fill it from a search (the search, the model reset and the
// list view's layout and first paint), the time to select every line and
// copy them to the clipboard, and the program's peak memory.
//
// The register is the demo generator's sample of LEDGROVE_BENCH_CHECKS
// checks (1,000,000 by default), made once through the real import and
// rebuild in a scratch directory.  The window runs on Qt's offscreen
// platform unless QT_QPA_PLATFORM says otherwise.
//
//   build/bench/ui_fill_bench
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QClipboard>
#include <QListView>
#include <QStandardPaths>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/search/search.h"
#include "app/ui/control_ids.h"
#include "app/ui/result_view.h"
#include "app/ui/search_window.h"
#include "bench/bench_register.h"

namespace {

using namespace ledgrove;
using bench::check_count;

double peak_rss_mib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;  // ru_maxrss is in KiB
}

struct BenchRegister {
    kvl_test::TempDir dir;
    DatabaseSet set{dir.root()};

    BenchRegister() {
        const std::string csv = bench::prepare_sample_register(dir, set);
        if (import_csv(set, csv).imported != check_count()) std::abort();
        if (!rebuild_all_indexes(set).ok()) std::abort();
        std::remove(csv.c_str());
    }
};

BenchRegister &bench_register() {
    static BenchRegister reg;
    return reg;
}

// Every check: the whole range of years.
void whole_range(ui::SearchWindow &window) {
    using namespace control;
    window.set_control_text(kFromYear, "2000");
    window.set_control_text(kToYear, "2099");
}

struct Window {
    ui::SearchWindow window{bench_register().set};
    Window() {
        window.show();
        whole_range(window);
        QApplication::processEvents();
    }
    void fill() {
        window.command(control::kReport);
        QApplication::processEvents();  // layout and paint of the visible lines
    }
};

// The core's search alone, into a result list, for comparison.
void BM_SearchOnly(benchmark::State &state) {
    SearchInputs whole;
    whole.from = "20000101";
    whole.to = "20991231";
    ResultList lines;
    for (auto _ : state) {
        lines.clear();
        search_records(bench_register().set, SortOrder::Date, whole, lines);
    }
    state.counters["lines"] = static_cast<double>(lines.size());
}
BENCHMARK(BM_SearchOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FillResultList(benchmark::State &state) {
    Window d;
    for (auto _ : state) d.fill();
    state.counters["lines"] = d.window.result_view()->model()->rowCount();
    state.counters["peak_rss_MiB"] = peak_rss_mib();
}
BENCHMARK(BM_FillResultList)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SelectAll(benchmark::State &state) {
    Window d;
    d.fill();
    for (auto _ : state) {
        d.window.result_view()->selectAll();
        QApplication::processEvents();
        state.PauseTiming();
        d.window.result_view()->clearSelection();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SelectAll)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SelectAllAndCopy(benchmark::State &state) {
    Window d;
    d.fill();
    for (auto _ : state) {
        d.window.result_view()->selectAll();
        d.window.command(control::kCopyToClipboard);
        QApplication::processEvents();
    }
    state.counters["copied_MiB"] = QGuiApplication::clipboard()->text().size() * 2 / 1048576.0;
    state.counters["peak_rss_MiB"] = peak_rss_mib();
}
BENCHMARK(BM_SelectAllAndCopy)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's test settings, not the user's: the window opens at its first size.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    bench_register();
    std::printf("register ready: %zu checks; peak memory so far %.0f MiB\n", check_count(),
                peak_rss_mib());
    benchmark::RunSpecifiedBenchmarks();
    std::printf("peak memory of the run: %.0f MiB\n", peak_rss_mib());
    benchmark::Shutdown();
    return 0;
}
