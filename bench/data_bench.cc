// data_bench - record throughput of a data file with the register's layout
// (124-byte records): appending 1,000,000 records, and reading them all back
// by record number, through the built-in file layer on a real file.  The
// same read through the in-memory test layer shows what the engine itself
// costs without system calls.  items_per_second is records per second.
//
//   build/bench/data_bench [--benchmark_filter=Read]
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/korval32_control.h"
#include "support/memory_layer.h"
#include "support/engine_files.h"

namespace {

constexpr uint32_t kRecords = 1000000;
constexpr uint32_t kRecordLength = 124;

std::vector<FieldDescriptor> register_fields() {
    const struct {
        const char *name;
        uint8_t length;
    } spec[] = {{"ID", 6},    {"CHKID", 6}, {"CHKDATE", 8}, {"VENDORID", 10},
                {"NAME", 35}, {"POID", 8},  {"DESC", 35},   {"AMOUNT", 15}};
    std::vector<FieldDescriptor> fields;
    for (const auto &s : spec) {
        FieldDescriptor d{};
        std::strcpy(d.name, s.name);
        d.type = 'C';
        d.length = s.length;
        fields.push_back(d);
    }
    return fields;
}

class Register {
public:
    Register(const std::string &path, const FileLayerTable *layer) : control_(8) {
        auto fields = register_fields();
        if (KvlDataCreateFile(3, 8, fields.data(), path.c_str(), 0, layer) != 0) std::abort();
        path_ = path;
        data()->file_name = path_.c_str();
        data()->open_mode = 0x42;
        data()->file_layer = layer;
        if (KvlDataOpenFile(data(), 0) != 0) std::abort();
    }
    DataControlRecord *data() { return control_.get(); }

    void fill(uint32_t count) {
        std::vector<char> record(kRecordLength, ' ');
        uint32_t number = 0;
        for (uint32_t i = 0; i < count; ++i)
            if (KvlDataAddRecord(data(), record.data(), &number) != 0) std::abort();
        if (KvlDataFlushHeader(data()) != 0) std::abort();
    }
    void read_all(benchmark::State &state) {
        std::vector<char> record(kRecordLength);
        const uint32_t count = data()->header.record_count;
        for (uint32_t n = 1; n <= count; ++n) {
            if (KvlDataGetRecord(data(), n, record.data()) != 0) {
                state.SkipWithError("read failed");
                return;
            }
            benchmark::DoNotOptimize(record.data());
        }
    }

private:
    std::string path_;
    korval32::DataControl control_;
};

void BM_Append(benchmark::State &state) {
    for (auto _ : state) {
        state.PauseTiming();
        kvl_test::TempDir dir;
        {
            Register reg(dir.path("ChkREG.DBF"), nullptr);
            state.ResumeTiming();
            reg.fill(kRecords);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_ReadByNumber(benchmark::State &state) {
    kvl_test::TempDir dir;
    Register reg(dir.path("ChkREG.DBF"), nullptr);
    reg.fill(kRecords);
    for (auto _ : state) reg.read_all(state);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_ReadByNumber)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_ReadByNumberInMemory(benchmark::State &state) {
    kvl_test::MemoryLayer fs;
    Register reg("ChkREG.DBF", fs.table());
    reg.fill(kRecords);
    for (auto _ : state) reg.read_all(state);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords);
}
BENCHMARK(BM_ReadByNumberInMemory)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
