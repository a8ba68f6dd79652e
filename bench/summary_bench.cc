// summary_bench.cc - summaries and the standard exports on a large sample:
// the whole register's search in date order as result lines, the same
// search summed by vendor and by month (each should take no more than
// twice the plain search), and an XLSX export of about 100,000 check lines
// (under 2 seconds).
//
// The register is the demo generator's sample of LEDGROVE_BENCH_CHECKS
// checks (1,000,000 by default), loaded through the real import and rebuild
// once, before the first benchmark.
//
//   build/bench/summary_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/output/table_export.h"
#include "app/search/result_list.h"
#include "app/search/summary.h"
#include "bench/bench_register.h"

namespace {

using namespace ledgrove;

struct BenchRegister {
    kvl_test::TempDir dir;
    DatabaseSet set{dir.root()};

    BenchRegister() {
        const std::string csv = bench::prepare_sample_register(dir, set);
        if (import_csv(set, csv).imported != bench::check_count()) std::abort();
        if (!rebuild_all_indexes(set).ok()) std::abort();
    }
};

BenchRegister &shared() {
    static BenchRegister reg;
    return reg;
}

SearchInputs whole_register() {
    SearchInputs in;
    in.from = "20000101";
    in.to = "20991231";
    return in;
}

void BM_SearchLines(benchmark::State &state) {
    BenchRegister &reg = shared();
    ResultList list;
    std::size_t lines = 0;
    for (auto _ : state) {
        list.clear();
        lines = search_records(reg.set, SortOrder::Date, whole_register(), list).line_count;
    }
    state.counters["checks"] = static_cast<double>(lines);
}
BENCHMARK(BM_SearchLines)->Unit(benchmark::kMillisecond)->UseRealTime();

void run_summary(benchmark::State &state, SummaryGroup by) {
    BenchRegister &reg = shared();
    std::size_t groups = 0, checks = 0;
    for (auto _ : state) {
        const Summary summary = summarize(reg.set, SortOrder::Date, whole_register(), {by});
        groups = summary.rows.size();
        checks = summary.checks;
    }
    state.counters["groups"] = static_cast<double>(groups);
    state.counters["checks"] = static_cast<double>(checks);
}

void BM_SummaryByVendor(benchmark::State &state) { run_summary(state, SummaryGroup::Vendor); }
BENCHMARK(BM_SummaryByVendor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SummaryByMonth(benchmark::State &state) { run_summary(state, SummaryGroup::Month); }
BENCHMARK(BM_SummaryByMonth)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first year and a half of the sample: about a tenth of its checks.
void BM_XlsxExportOfATenth(benchmark::State &state) {
    BenchRegister &reg = shared();
    SearchInputs in;
    in.from = "20060101";
    in.to = "20070630";
    std::size_t rows = 0;
    for (auto _ : state) {
        const TableExport done = export_search_table(reg.set, SortOrder::Date, in,
                                                     reg.dir.path("lines.xlsx"), TableFormat::Xlsx);
        if (!done.ok) state.SkipWithError(done.notice.text.c_str());
        rows = done.rows;
    }
    state.counters["lines"] = static_cast<double>(rows);
}
BENCHMARK(BM_XlsxExportOfATenth)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
