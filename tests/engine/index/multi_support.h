// multi_support.h - a data file with several indexes over it, for the
// tests of the multi-file calls and of shared use by several processes.
//
// Records: tag, ID (6), NAME (10), CITY (8), CODE (4), AMOUNT (8); record
// length 37.  Each index is created from a key expression over those
// fields, unique unless asked for duplicates.
#ifndef KVL_TESTS_ENGINE_INDEX_MULTI_SUPPORT_H
#define KVL_TESTS_ENGINE_INDEX_MULTI_SUPPORT_H

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/korval32_control.h"

namespace kvl_test {

constexpr uint32_t kMultiRecordLength = 37;
constexpr uint32_t kMultiNodeSize = 512;

struct Person {
    std::string id, name, city, code, amount;
};

inline std::vector<uint8_t> person_record(const Person &p) {
    auto field = [](std::string text, size_t width) {
        text.resize(width, ' ');
        return text;
    };
    return record_image(kMultiRecordLength, field(p.id, 6) + field(p.name, 10) +
                                                field(p.city, 8) + field(p.code, 4) +
                                                field(p.amount, 8));
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

// An index control record, closed when it goes (read-only or not, as the
// data file's DataFile does).
class IndexHandleBox {
public:
    IndexHandleBox(const std::string &path, DataControlRecord *data,
                   const FileLayerTable *layer)
        : path_(path), control_(kMultiNodeSize) {
        get()->data_link = data;
        get()->file_name = path_.c_str();
        get()->open_mode = 0x42;
        get()->file_layer = layer;
    }
    ~IndexHandleBox() {
        if (control_.is_open()) get()->state &= ~KVL_STATE_READ_ONLY;
        control_.close();
    }
    IndexHandleBox(const IndexHandleBox &) = delete;
    IndexHandleBox &operator=(const IndexHandleBox &) = delete;

    IndexControlRecord *get() { return control_.get(); }
    IndexControlRecord *operator->() { return get(); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
    korval32::IndexControl control_;
};

struct IndexSpec {
    const char *file;
    const char *expression;
    bool duplicates = false;
};

// The data file (created when missing) and its indexes, all open.
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

    // Closes everything (flushing) and opens it again.
    void reopen() {
        indexes_.clear();
        data_.reset();
        open_files();
    }
    void close() {
        indexes_.clear();
        data_.reset();
    }

    // A request list of one owning request on index 0 followed by shared
    // requests on the others (or on the indexes named).
    struct Requests {
        std::vector<IndexRequest> list;
        std::vector<std::vector<uint8_t>> keys;
        IndexRequest *first() { return list.data(); }
    };
    Requests requests(std::vector<uint8_t> &record, std::vector<size_t> which = {}) {
        if (which.empty())
            for (size_t i = 0; i < indexes_.size(); ++i) which.push_back(i);
        Requests r;
        r.list.resize(which.size());
        r.keys.resize(which.size(), std::vector<uint8_t>(KVL_MAX_KEY_LENGTH + 1, 0));
        for (size_t i = 0; i < which.size(); ++i) {
            IndexRequest &q = r.list[i];
            q = IndexRequest{};
            q.index = index(which[i]);
            q.key = r.keys[i].data();
            q.record = record.data();
            q.flags = i == 0 ? 0u : KVL_REQUEST_SHARED;
            q.next = i + 1 < which.size() ? &r.list[i + 1] : nullptr;
        }
        return r;
    }

    // Every (key, record number) of index i in key order.
    std::vector<std::pair<std::string, uint32_t>> keys(size_t i) {
        std::vector<std::pair<std::string, uint32_t>> out;
        std::vector<uint8_t> key(KVL_MAX_KEY_LENGTH + 1, 0);
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
        const std::string data_name = data_path();
        keep(KvlDataCreateFile(3, 5, fields.data(), data_name.c_str(), 0, layer_));
        DataFile data(data_name, 5, layer_);
        keep(data.open());
        for (size_t i = 0; i < specs_.size(); ++i) {
            std::string expression = specs_[i].expression;
            const std::string name = index_path(i);
            const uint32_t flags = KVL_SORT_BYTES | (specs_[i].duplicates ? KVL_IX_DUPLICATES : 0);
            keep(KvlIx4CreateFile(kMultiNodeSize, flags, 850, 1, nullptr, expression.data(),
                                  data.rec(), name.c_str(), nullptr, 0, layer_));
        }
    }
    void open_files() {
        data_ = std::make_unique<DataFile>(data_path(), 5, layer_);
        keep(data_->open());
        for (size_t i = 0; i < specs_.size(); ++i) {
            indexes_.push_back(std::make_unique<IndexHandleBox>(index_path(i), data(), layer_));
            keep(KvlIx4OpenFile(indexes_.back()->get(), 0));
        }
    }
    void keep(uint32_t result) {
        if (rc == 0) rc = result;
    }

    std::string prefix_;
    const FileLayerTable *layer_;
    std::vector<IndexSpec> specs_;
    std::unique_ptr<DataFile> data_;
    std::vector<std::unique_ptr<IndexHandleBox>> indexes_;
};

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_INDEX_MULTI_SUPPORT_H
