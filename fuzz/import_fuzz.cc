// import_fuzz.cc - any text imported into an in-memory register (the data
// file and its eight indexes, through the in-memory file layer): the import
// runs to the end, adds a record for every line it does not refuse, numbers
// them on from the register's last id, and leaves a data file that opens.
#include <string>

#include "app/maint/import.h"
#include "app/store/database_set.h"
#include "app/store/register_files.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace kvl_fuzz;
using namespace ledgrove;

using Files = std::vector<std::pair<std::string, Bytes>>;

// An empty register with one record imported, made once.
const Files &empty_register() {
    static const Files files = [] {
        kvl_test::MemoryLayer fs;
        std::vector<FieldDescriptor> fields;
        for (const FieldInfo &info : kFields) {
            FieldDescriptor d{};
            std::strncpy(d.name, info.name, sizeof d.name - 1);
            d.type = 'C';
            d.length = static_cast<uint8_t>(info.width);
            fields.push_back(d);
        }
        if (KvlDataCreateFile(3, kFieldCount, fields.data(), kDataFileName, 0, fs.table()) != 0)
            broken("the data file is made");
        {
            DataFile data(kDataFileName, kFieldCount, fs.table());
            data.open();
            for (const IndexFileInfo &info : kIndexFiles) {
                std::string expression = info.key_expression;
                if (KvlIx4CreateFile(kRegisterNodeSize, KVL_SORT_COLLATED, 850, 1, nullptr,
                                     expression.data(), data.get(), info.file_name, nullptr, 0,
                                     fs.table()) != 0)
                    broken("the indexes are made");
            }
        }
        Files out;
        out.push_back({kDataFileName, fs.file(kDataFileName)});
        for (const IndexFileInfo &info : kIndexFiles)
            out.push_back({info.file_name, fs.file(info.file_name)});
        return out;
    }();
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const Files &files = empty_register();
    kvl_test::MemoryLayer fs;
    for (const auto &[name, content] : files) fs.file(name) = content;
    fs.file("in.csv").assign(bytes, bytes + size);

    DatabaseSet set("", fs.table());
    set.open();
    require(set.failures().empty(), "the register opens");
    const ImportReport report = import_csv(set, "in.csv");
    require(report.ok() || report.refused_past_id_limit > 0, "the import runs to its end");
    require(set.data()->header.record_count == report.imported, "one record per imported line");
    CheckRecord record{};
    for (std::uint32_t n = 1; n <= set.data()->header.record_count; ++n) {
        require(KvlDataGetRecord(set.data(), n, &record) == ERR_NONE, "imported records read");
        require(record.tag == kLiveTag, "imported records are live");
    }
    set.close();

    DataFile data(kDataFileName, kFieldCount, fs.table());
    require(data.open() == ERR_NONE, "the data file opens clean after the import");
    require(data->header.record_count == report.imported, "the count reached the disk");
    return 0;
}

extern "C" void kvl_fuzz_write_seeds(const char *dir) {
    std::string lines;
    for (int k = 0; k < 4; ++k)
        lines += "10000" + std::to_string(k) +
                 ",0" + std::to_string(k + 1) + "/15/2009,00000000" + std::to_string(10 + k) +
                 ",VENDOR NUMBER " + std::to_string(k) + "                    ,P000000" +
                 std::to_string(k) + ",SUPPLIES                           ," +
                 std::to_string(k * 1000 + 7) + ".25\r\n";
    write_seed(dir, "seed-four-checks", lines);
    write_seed(dir, "seed-bad-lines", lines + "x\n" + lines.substr(0, 50) + "\n\n" + lines);
}
