// engine_support.h - the files the engine tests (and the fault loops) work
// on: a people file with several indexes over it, a data file with a memo
// field, rows of a name and a memo written and read back, a small names
// index, and the checker of tools/ix4check run over an index.
#ifndef KVL_TESTS_ENGINE_ENGINE_SUPPORT_H
#define KVL_TESTS_ENGINE_ENGINE_SUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/korval32.h"
#include "support/engine_files.h"
#include "support/result_name.h"
#include "tools/ix4check/ix4_checker.h"

namespace kvl_test {

// Runs the checker over an index (and its data file, when named).
inline ix4check::Report check_index(const std::string &index_path, const std::string &data_path = "",
                                    uint32_t tag_filter = 0) {
    ix4check::Options options;
    options.index_path = index_path;
    options.data_path = data_path;
    options.tag_filter = tag_filter;
    return ix4check::check_index(options);
}

// ---- people: tag, ID (6), NAME (10), CITY (8), CODE (4), AMOUNT (8) --------

constexpr uint32_t kPersonLength = 37;
constexpr uint32_t kNodeSize = 512;

struct Person {
    std::string id, name, city, code, amount;
};

inline Bytes person_record(const Person &p) {
    auto field = [](std::string text, size_t width) {
        text.resize(width, ' ');
        return text;
    };
    return record_image(kPersonLength, field(p.id, 6) + field(p.name, 10) + field(p.city, 8) +
                                           field(p.code, 4) + field(p.amount, 8));
}

inline Person numbered_person(uint32_t n) {
    char id[8], name[16], city[12], code[8], amount[12];
    std::snprintf(id, sizeof id, "%06u", n);
    std::snprintf(name, sizeof name, "name%06u", n);
    std::snprintf(city, sizeof city, "city%04u", n % 10000);
    std::snprintf(code, sizeof code, "c%03u", n % 1000);
    std::snprintf(amount, sizeof amount, "%8u", n * 7);
    return {id, name, city, code, amount};
}

struct IndexSpec {
    const char *file;
    const char *expression;
    bool duplicates = false;
};

// The people file (created unless asked not to) and its indexes, all open.
class MultiFiles {
public:
    // prefix: a directory with a trailing '/', or "" for a memory layer.
    MultiFiles(const std::string &prefix, std::vector<IndexSpec> specs,
               const FileLayerTable *layer = nullptr, bool create = true)
        : prefix_(prefix), layer_(layer), specs_(std::move(specs)) {
        if (create) create_files();
        open_files();
    }

    uint32_t rc = 0;  // first failure while creating or opening

    DataControlRecord *data() { return data_->rec(); }
    IndexControlRecord *index(size_t i) { return indexes_[i]->get(); }
    size_t index_count() const { return indexes_.size(); }
    std::string data_path() const { return prefix_ + "PEOPLE.DBF"; }
    std::string index_path(size_t i) const { return prefix_ + specs_[i].file; }
    uint32_t key_length(size_t i) { return index(i)->header.key_length; }

    void reopen() {
        close();
        open_files();
    }
    void close() {
        indexes_.clear();
        data_.reset();
    }

    // One owning request on the first index named (all by default), shared
    // requests on the others.
    struct Requests {
        std::vector<IndexRequest> list;
        std::vector<Bytes> keys;
        IndexRequest *first() { return list.data(); }
    };
    Requests requests(Bytes &record, std::vector<size_t> which = {}, uint32_t record_number = 0) {
        if (which.empty())
            for (size_t i = 0; i < indexes_.size(); ++i) which.push_back(i);
        Requests r;
        r.list.resize(which.size());
        r.keys.resize(which.size(), Bytes(KVL_MAX_KEY_LENGTH + 1, 0));
        for (size_t i = 0; i < which.size(); ++i) {
            IndexRequest &q = r.list[i];
            q = IndexRequest{};
            q.index = index(which[i]);
            q.key = r.keys[i].data();
            q.record = record.data();
            q.record_number = record_number;
            q.flags = i == 0 ? 0u : KVL_REQUEST_SHARED;
            q.next = i + 1 < which.size() ? &r.list[i + 1] : nullptr;
        }
        return r;
    }
    uint32_t insert(uint32_t n) {
        Bytes record = person_record(numbered_person(n));
        auto r = requests(record);
        uint32_t failed = 0;
        return KvlIx4InsertEx(r.first(), &failed);
    }

    // Every (key, record number) of index i in key order.
    std::vector<std::pair<std::string, uint32_t>> keys(size_t i) {
        std::vector<std::pair<std::string, uint32_t>> out;
        Bytes key(KVL_MAX_KEY_LENGTH + 1, 0);
        uint32_t number = 0;
        for (uint32_t step = KvlIx4FirstKey(index(i), key.data(), &number); step == 0;
             step = KvlIx4NextKey(index(i), key.data(), &number))
            out.emplace_back(std::string(key.begin(), key.begin() + key_length(i)), number);
        return out;
    }

private:
    void create_files() {
        auto fields = descriptors({{"ID", 'C', 6}, {"NAME", 'C', 10}, {"CITY", 'C', 8},
                                   {"CODE", 'C', 4}, {"AMOUNT", 'C', 8}});
        keep(KvlDataCreateFile(3, 5, fields.data(), data_path().c_str(), 0, layer_));
        DataFile data(data_path(), 5, layer_);
        keep(data.open());
        for (size_t i = 0; i < specs_.size(); ++i) {
            std::string expression = specs_[i].expression;
            const uint32_t flags = KVL_SORT_BYTES | (specs_[i].duplicates ? KVL_IX_DUPLICATES : 0);
            keep(KvlIx4CreateFile(kNodeSize, flags, 850, 1, nullptr, expression.data(), data.rec(),
                                  index_path(i).c_str(), nullptr, 0, layer_));
        }
    }
    void open_files() {
        data_ = std::make_unique<DataFile>(data_path(), 5, layer_);
        keep(data_->open());
        for (size_t i = 0; i < specs_.size(); ++i) {
            indexes_.push_back(std::make_unique<IndexFile>(index_path(i), kNodeSize, data(), layer_));
            keep(indexes_.back()->open());
        }
    }
    void keep(uint32_t result) {
        if (rc == 0) rc = result;
    }

    std::string prefix_;
    const FileLayerTable *layer_;
    std::vector<IndexSpec> specs_;
    std::unique_ptr<DataFile> data_;
    std::vector<std::unique_ptr<IndexFile>> indexes_;
};

// ---- names: tag, NAME (10), NUM (6); an index on NAME ------------------------
//
// The index's parse and build-key slots are these, so the record-level calls
// and the slots are tested whatever key expression compiler is linked.

constexpr uint32_t kNameLength = 10, kNamesRecordLength = 17;

inline uint32_t parse_name(IndexHandle ix, uint32_t *key_length) {
    ix->header.segment_count = 1;
    ix->header.segments[0] = KeySegment{'C', uint8_t(kNameLength), 1, 0};
    *key_length = kNameLength;
    return 0;
}
inline uint32_t build_name(IndexHandle ix, void *record, void *key) {
    const auto *r = static_cast<const uint8_t *>(record);
    std::memcpy(key, r + 1, kNameLength);
    const uint8_t excluded = uint8_t(ix->tag_filter), required = uint8_t(ix->tag_filter >> 8);
    if ((excluded && r[0] == excluded) || (required && r[0] != required)) return ERR_RECORD_FILTERED;
    return 0;
}
inline std::string name_key(const std::string &name) {
    std::string key = name;
    key.resize(kNameLength, ' ');
    return key;
}
inline Bytes name_record(const std::string &name, uint32_t num, char tag = ' ') {
    return record_image(kNamesRecordLength, name_key(name) + std::to_string(100000 + num % 100000), tag);
}

class NamesIndex {
public:
    NamesIndex(const std::string &dir, uint32_t node_size = 512, uint32_t flags = KVL_SORT_BYTES,
               uint32_t data_flags = 0)
        : data_path_(dir + "/names.dbf"), index_path_(dir + "/names.ix4") {
        auto fields = descriptors({{"NAME", 'C', 10}, {"NUM", 'C', 6}});
        rc = KvlDataCreateFile(0x03, 2, fields.data(), data_path_.c_str(), 0, nullptr);
        data_ = std::make_unique<DataFile>(data_path_, 2);
        if (rc == 0) rc = data_->open(data_flags);
        char expression[] = "NAME";
        if (rc == 0)
            rc = KvlIx4CreateFile(node_size, flags, 850, 1, nullptr, expression, data(),
                                  index_path_.c_str(), parse_name, 0, nullptr);
        index_ = std::make_unique<IndexFile>(index_path_, node_size, data());
        index_->get()->build_key = build_name;
        index_->get()->parse = parse_name;
        if (rc == 0) rc = index_->open();
    }
    ~NamesIndex() {
        index_.reset();
        data_.reset();
    }
    DataControlRecord *data() { return data_->rec(); }
    IndexControlRecord *index() { return index_->get(); }
    const std::string &data_path() const { return data_path_; }
    const std::string &index_path() const { return index_path_; }
    uint32_t insert(const std::string &name, uint32_t num, uint32_t *record_number = nullptr, char tag = ' ') {
        Bytes record = name_record(name, num, tag);
        std::string key(kNameLength, '\0');
        uint32_t number = 0, state = 0;
        const uint32_t result = KvlIx4Insert(index(), key.data(), &number, record.data(), &state);
        if (record_number) *record_number = number;
        return result;
    }

    uint32_t rc = 0;  // of the creates and opens

private:
    std::string data_path_, index_path_;
    std::unique_ptr<DataFile> data_;
    std::unique_ptr<IndexFile> index_;
};

// ---- memos ---------------------------------------------------------------

// `size` bytes that differ from seed to seed, never zero and never 0x1F.
inline std::string pattern(size_t size, uint32_t seed = 1) {
    std::string out(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>('A' + (x >> 16) % 26);
    }
    return out;
}

// A data file NAME C10, NOTES M10 (record length 21) and its memo file, open.
class MemoTable {
public:
    explicit MemoTable(uint32_t block_size = 512, const std::string &name = "ledger.dbf")
        : path_(dir_.path(name)) {
        auto fields = descriptors({{"NAME", 'C', 10}, {"NOTES", 'M', 10}});
        EXPECT_EQ(KvlDataCreateFile(0x8B | (block_size << 16), 2, fields.data(), path_.c_str(), 0,
                                    nullptr),
                  0u);
        reopen();
    }

    DataControlRecord *rec() { return data_->rec(); }
    DataControlRecord *operator->() { return rec(); }
    const std::string &path() const { return path_; }
    std::string dbt_path() const { return path_.substr(0, path_.size() - 3) + "dbt"; }
    Bytes dbt() const { return read_bytes(dbt_path()); }
    uint32_t dbt_word(size_t at) const { return u32_at(dbt(), at); }
    size_t block_at(uint32_t n) const {  // file offset of block n
        return static_cast<size_t>(n) * data_->rec()->memo_header.block_size;
    }
    uint32_t reopen(uint32_t flags = 0) {
        data_.reset();
        data_ = std::make_unique<DataFile>(path_, 2);
        return data_->open(flags);
    }
    uint32_t close() { return KvlDataCloseFile(rec()); }

    uint32_t store(const std::string &bytes, uint32_t reserve = 0) {
        uint32_t block = 0;
        EXPECT_EQ(Result(KvlMemoAdd(rec(), reserve ? reserve : uint32_t(bytes.size()),
                                    uint32_t(bytes.size()), bytes.data(), &block, 0)),
                  ERR_NONE)
            << bytes.size() << " bytes";
        return block;
    }
    std::string read(uint32_t block) {
        uint32_t first = 0, size = 0;
        EXPECT_EQ(Result(KvlMemoGetSize(rec(), block, &first, &size)), ERR_NONE) << block;
        std::string out(size, '\0');
        uint32_t count = size;
        if (size) {
            EXPECT_EQ(Result(KvlMemoGet(rec(), block, 0, &count, out.data())), ERR_NONE);
        }
        out.resize(count);
        return out;
    }

private:
    TempDir dir_;
    std::string path_;
    std::unique_ptr<DataFile> data_;
};

// ---- rows: tag, NAME C12 and, with memos, NOTES M10 ------------------------

struct Row {
    char tag;
    std::string name;
    std::string memo;  // "" = no memo
    bool operator==(const Row &) const = default;
};
inline std::ostream &operator<<(std::ostream &out, const Row &row) {
    return out << "'" << row.tag << "' " << row.name << " [" << row.memo.size() << " memo bytes]";
}

constexpr uint32_t kNameWidth = 12;
inline uint32_t row_record_length(bool memos) { return 1 + kNameWidth + (memos ? 10 : 0); }
inline std::vector<FieldDescriptor> row_fields(bool memos) {
    return memos ? descriptors({{"NAME", 'C', kNameWidth}, {"NOTES", 'M', 10}})
                 : descriptors({{"NAME", 'C', kNameWidth}});
}
inline std::string memo_field_text(uint32_t block) {
    char text[16];
    std::snprintf(text, sizeof text, "%10u", block);
    return block ? std::string(text) : std::string(10, ' ');
}
inline Bytes row_record(const std::string &name, uint32_t block, bool memos, char tag = ' ') {
    std::string text = name;
    text.resize(kNameWidth, ' ');
    return record_image(row_record_length(memos), memos ? text + memo_field_text(block) : text, tag);
}

// Creates `path` (with a memo file when `memos`) holding `rows`.
inline void write_rows(const std::string &path, const std::vector<Row> &rows, bool memos,
                       const FileLayerTable *layer = nullptr) {
    auto fields = row_fields(memos);
    ASSERT_EQ(KvlDataCreateFile(memos ? 0x8B : 0x03, uint32_t(fields.size()), fields.data(),
                                path.c_str(), 0, layer),
              0u);
    DataFile data(path, uint32_t(fields.size()), layer);
    ASSERT_EQ(data.open(), 0u);
    for (const Row &row : rows) {
        uint32_t block = 0, number = 0;
        if (memos && !row.memo.empty()) {
            ASSERT_EQ(KvlMemoAdd(data.rec(), uint32_t(row.memo.size()), uint32_t(row.memo.size()),
                                 row.memo.data(), &block, 0),
                      0u);
        }
        Bytes record = row_record(row.name, block, memos, row.tag);
        ASSERT_EQ(KvlDataAddRecord(data.rec(), record.data(), &number), 0u);
    }
    ASSERT_EQ(KvlDataCloseFile(data.rec()), 0u);
}

// The rows of `path`, memos read back; `fields` gets each memo field's text.
inline std::vector<Row> read_rows(const std::string &path, bool memos,
                                  std::vector<std::string> *fields = nullptr) {
    std::vector<Row> rows;
    DataFile data(path, memos ? 2 : 1);
    EXPECT_EQ(data.open(), 0u) << path;
    if (data->os_handle == 0) return rows;
    std::vector<char> record(data->header.record_length);
    for (uint32_t n = 1; n <= data->header.record_count; ++n) {
        EXPECT_EQ(KvlDataGetRecord(data.rec(), n, record.data()), 0u);
        Row row{record[0], std::string(record.data() + 1, kNameWidth), ""};
        row.name.erase(row.name.find_last_not_of(' ') + 1);
        if (memos) {
            const std::string field(record.data() + 1 + kNameWidth, 10);
            if (fields) fields->push_back(field);
            const uint32_t block = uint32_t(std::strtoul(field.c_str(), nullptr, 10));
            uint32_t first = 0, size = 0;
            if (block) {
                EXPECT_EQ(KvlMemoGetSize(data.rec(), block, &first, &size), 0u);
            }
            row.memo.assign(size, '\0');
            uint32_t count = size;
            if (size) {
                EXPECT_EQ(KvlMemoGet(data.rec(), block, 0, &count, row.memo.data()), 0u);
            }
        }
        rows.push_back(row);
    }
    return rows;
}

// Records every progress call of a pack or sort (the percentage the new
// file's control record holds) and answers `stop_with` at call `stop_at`.
struct ProgressLog {
    std::vector<uint32_t> percents;
    size_t stop_at = 0;
    uint32_t stop_with = 0;
    static inline ProgressLog *current = nullptr;
    static uint32_t callback(DataHandle data, uint32_t value) {
        current->percents.push_back(value == 1 ? data->progress : 999);
        return current->percents.size() == current->stop_at ? current->stop_with : 0;
    }
    ProgressLog() { current = this; }
};

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_ENGINE_SUPPORT_H
