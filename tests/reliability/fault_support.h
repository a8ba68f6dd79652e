// fault_support.h - what the fault-injection and crash tests share: named
// file snapshots moved between layers, and the checks run on the files an
// interrupted operation left behind (data records compared byte for byte,
// indexes walked by tools/ix4check, memos read back).
#ifndef KVL_TESTS_RELIABILITY_FAULT_SUPPORT_H
#define KVL_TESTS_RELIABILITY_FAULT_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/korval32_control.h"
#include "support/memory_layer.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace kvl_rel {

using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;  // name -> bytes

inline Files snapshot(kvl_test::MemoryLayer &memory, const std::vector<std::string> &names) {
    Files files;
    for (const std::string &name : names)
        if (memory.exists(name)) files[name] = memory.file(name);
    return files;
}

inline void restore(kvl_test::MemoryLayer &memory, const Files &files) {
    for (const auto &[name, bytes] : files) memory.file(name) = bytes;
}

// The records of a data file, read through the engine; empty and the open
// result in *rc when it does not open (ERR_INCOMPLETE_WRITE opens).
inline std::vector<Bytes> read_records(const FileLayerTable *layer, const std::string &name,
                                       uint32_t capacity, uint32_t *rc) {
    kvl_test::DataFile data(name, capacity, layer);
    *rc = data.open();
    std::vector<Bytes> records;
    if (*rc != ERR_NONE && *rc != ERR_INCOMPLETE_WRITE && *rc != ERR_MEMO_OPEN) return records;
    const uint32_t length = data->header.record_length;
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        Bytes record(length);
        const uint32_t got = KvlDataGetRecord(data.rec(), n, record.data());
        if (got != ERR_NONE) {
            *rc = got;
            break;
        }
        records.push_back(record);
    }
    return records;
}

// Index open result on the given layer: 0, ERR_INCOMPLETE_WRITE (changes
// pending) or a refusal.
inline uint32_t index_open_result(const FileLayerTable *layer, const std::string &index_name,
                                  const std::string &data_name, uint32_t capacity,
                                  uint32_t node_size) {
    kvl_test::DataFile data(data_name, capacity, layer);
    const uint32_t data_rc = data.open();
    if (data_rc != ERR_NONE && data_rc != ERR_INCOMPLETE_WRITE) return data_rc;
    korval32::IndexControl ix(node_size);
    ix->data_link = data.rec();
    ix->file_name = index_name.c_str();
    ix->open_mode = 0x42;
    ix->file_layer = layer;
    return KvlIx4OpenFile(ix.get(), 0);
}

// Runs tools/ix4check over an index and its data file as they stand in
// `files` (written to a scratch directory: the checker reads real files).
inline ix4check::Report check_index(const Files &files, const std::string &index_name,
                                    const std::string &data_name, uint32_t tag_filter = 0) {
    kvl_test::TempDir dir;
    for (const auto &[name, bytes] : files) kvl_test::write_bytes(dir.path(name), bytes);
    ix4check::Options options;
    options.index_path = dir.path(index_name);
    options.data_path = data_name.empty() ? std::string() : dir.path(data_name);
    options.tag_filter = tag_filter;
    return ix4check::check_index(options);
}

// One pass of a fault loop: which OS error, failing once or for good, and
// which operations count.
struct FaultPlan {
    const char *name;
    uint32_t code;
    bool sticky;
    uint32_t ops;
};

}  // namespace kvl_rel

#endif  // KVL_TESTS_RELIABILITY_FAULT_SUPPORT_H
