// reindex_bench - rebuilds an index over 1,000,000 register-like records
// (key "SUBSTR(NAME,1,35)+SUBSTR(ID,1,6)", 512-byte nodes, the default
// engine variables) and walks it from first to last with KvlIx4GetNext.
//
//   build/bench/reindex_bench [--records=N] [google benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/korval32_control.h"
#include "support/engine_files.h"

namespace {

uint32_t g_records = 1000000;

// The register's layout: ID 6, CHKID 6, CHKDATE 8, VENDORID 10, NAME 35,
// POID 8, DESC 35, AMOUNT 15 (124-byte records).
struct Register {
    kvl_test::TempDir dir;
    std::string data_path = dir.path("ChkREG.DBF");
    std::string index_path = dir.path("ChkRNAM.IX4");
    std::string work_path = dir.path("chkr.TMP");
    korval32::DataControl control{8};
    DataControlRecord *data = control.get();

    Register() {
        const struct { const char *name; uint8_t length; } layout[] = {
            {"ID", 6}, {"CHKID", 6}, {"CHKDATE", 8}, {"VENDORID", 10},
            {"NAME", 35}, {"POID", 8}, {"DESC", 35}, {"AMOUNT", 15}};
        FieldDescriptor fields[8] = {};
        for (int i = 0; i < 8; ++i) {
            std::strcpy(fields[i].name, layout[i].name);
            fields[i].type = 'C';
            fields[i].length = layout[i].length;
        }
        KvlDataCreateFile(3, 8, fields, data_path.c_str(), 0, nullptr);
        data->file_name = data_path.c_str();
        data->open_mode = 0x200042;
        KvlDataOpenFile(data, 0);
        std::mt19937 rng(42);
        std::vector<std::string> vendors;
        for (int v = 0; v < 5000; ++v) {
            std::string name = "VENDOR " + std::to_string(rng() % 100000) + " SUPPLY CO";
            vendors.push_back(name);
        }
        char record[124];
        for (uint32_t r = 1; r <= g_records; ++r) {
            std::memset(record, ' ', sizeof record);
            char id[8];
            std::snprintf(id, sizeof id, "%06u", r);
            std::memcpy(record + 1, id, 6);
            const std::string &name = vendors[rng() % vendors.size()];
            std::memcpy(record + 31, name.data(), name.size());
            uint32_t number;
            KvlDataAddRecord(data, record, &number);
        }
        KvlDataFlushHeader(data);
    }
};

Register &shared_register() {
    static Register reg;
    return reg;
}

struct OpenIndex {
    korval32::IndexControl control{512};
    IndexControlRecord *index = control.get();
    explicit OpenIndex(Register &reg) {
        std::remove(reg.index_path.c_str());
        char expression[] = "SUBSTR(NAME,1,35)+SUBSTR(ID,1,6)";
        KvlIx4CreateFile(512, 2, 0, 0, nullptr, expression, reg.data, reg.index_path.c_str(),
                         nullptr, 0, nullptr);
        index->file_name = reg.index_path.c_str();
        index->open_mode = 0x200042;
        index->data_link = reg.data;
        index->tag_filter = '*';
        KvlIx4OpenFile(index, 0);
    }
};

void BM_Rebuild(benchmark::State &state) {
    Register &reg = shared_register();
    for (auto _ : state) {
        state.PauseTiming();
        OpenIndex open(reg);
        state.ResumeTiming();
        char key[200];
        uint32_t record = 0;
        uint32_t rc = KvlFuncIx4Reindex(open.index, reg.work_path.c_str(), 100, key, &record);
        if (rc != 0) state.SkipWithError(("rebuild failed: " + std::to_string(rc)).c_str());
    }
    state.SetItemsProcessed(state.iterations() * g_records);
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WalkNext(benchmark::State &state) {
    Register &reg = shared_register();
    OpenIndex open(reg);
    char key[200];
    uint32_t record = 0;
    KvlFuncIx4Reindex(open.index, reg.work_path.c_str(), 100, key, &record);
    std::vector<char> buffer(124);
    uint64_t walked = 0;
    for (auto _ : state) {
        uint32_t rc = KvlIx4GetFirst(open.index, key, &record, buffer.data());
        while (rc == 0) {
            ++walked;
            rc = KvlIx4GetNext(open.index, key, &record, buffer.data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(walked));
}
BENCHMARK(BM_WalkNext)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--records=", 10) == 0) g_records = std::stoul(argv[i] + 10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
