// register_bench.cc - the register's everyday work on a large sample: the
// import, the rebuild of all eight indexes, and three searches that a clerk
// runs often, and a one-year search in the Description order.
//
// The register is the demo generator's sample of LEDGROVE_BENCH_CHECKS
// checks (1,000,000 by default), written as a register CSV file and loaded
// through the real import and rebuild in a scratch directory.  The import
// and the rebuild run once each, in that order; the searches run on the
// finished register.
//
//   build/bench/register_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/maint/import.h"
#include "app/maint/rebuild.h"
#include "app/search/result_list.h"
#include "app/search/search.h"
#include "bench/bench_register.h"

namespace {

using namespace ledgrove;
using bench::check_count;

struct BenchRegister {
    kvl_test::TempDir dir;
    DatabaseSet set{dir.root()};
    std::string csv = bench::prepare_sample_register(dir, set);
    bool imported = false;
    bool indexed = false;

    void import() {
        ImportReport report = import_csv(set, csv);
        if (!report.ok() || report.imported != check_count()) std::abort();
        imported = true;
    }

    void rebuild() {
        if (!rebuild_all_indexes(set).ok()) std::abort();
        indexed = true;
    }

    void ready() {
        if (!imported) import();
        if (!indexed) rebuild();
    }
};

BenchRegister &shared() {
    static BenchRegister reg;
    return reg;
}

void BM_Import(benchmark::State &state) {
    BenchRegister &reg = shared();
    if (reg.imported) {
        state.SkipWithError("the register is imported already");
        return;
    }
    for (auto _ : state) reg.import();
    state.counters["checks"] = static_cast<double>(check_count());
}
BENCHMARK(BM_Import)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RebuildAllIndexes(benchmark::State &state) {
    BenchRegister &reg = shared();
    if (!reg.imported) reg.import();
    for (auto _ : state) reg.rebuild();
    state.counters["keys"] = static_cast<double>(8 * check_count());
}
BENCHMARK(BM_RebuildAllIndexes)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void run_search_bench(benchmark::State &state, SortOrder order, const SearchInputs &in) {
    BenchRegister &reg = shared();
    reg.ready();
    ResultList list;
    std::size_t lines = 0;
    for (auto _ : state) {
        list.clear();
        SearchResult outcome = search_records(reg.set, order, in, list);
        if (outcome.stopped_by_error()) state.SkipWithError("the search stopped on an error");
        lines = outcome.line_count;
    }
    state.counters["listed"] = static_cast<double>(lines);
}

SearchInputs whole_range() {
    SearchInputs in;
    in.from = "20060101";
    in.to = "20201231";
    return in;
}

void BM_DateSearchOneYearWithSubtotals(benchmark::State &state) {
    SearchInputs in;
    in.from = "20120101";
    in.to = "20121231";
    in.subtotals = true;
    run_search_bench(state, SortOrder::Date, in);
}
BENCHMARK(BM_DateSearchOneYearWithSubtotals)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VendorNameSearchWithMatchText(benchmark::State &state) {
    SearchInputs in = whole_range();
    in.vendor_name = "SUPPLY";
    run_search_bench(state, SortOrder::VendorName, in);
}
BENCHMARK(BM_VendorNameSearchWithMatchText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AmountGreaterSearch(benchmark::State &state) {
    SearchInputs in = whole_range();
    in.amount_operator = '>';
    in.amount = "10000";
    run_search_bench(state, SortOrder::Amount, in);
}
BENCHMARK(BM_AmountGreaterSearch)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DescriptionSearchOneYear(benchmark::State &state) {
    SearchInputs in;
    in.from = "20120101";
    in.to = "20121231";
    in.description = "SUPPLIES";
    run_search_bench(state, SortOrder::Description, in);
}
BENCHMARK(BM_DescriptionSearchOneYear)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
