// record_index_support.h - a data file of small records and an index over
// it, for the record-level index tests.  Records are a tag byte, a 10-byte
// NAME and a 6-byte NUM; the index key is NAME.  The index's parse and
// build-key slots are this file's own, so the tests exercise the index
// calls and the slots whatever key expression compiler is linked.
#ifndef KVL_TESTS_ENGINE_INDEX_RECORD_INDEX_SUPPORT_H
#define KVL_TESTS_ENGINE_INDEX_RECORD_INDEX_SUPPORT_H

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/data_test_util.h"
#include "engine/index/index_support.h"

namespace kvl_test {

constexpr uint32_t kNameLength = 10;
constexpr uint32_t kRecordLength = 1 + 10 + 6;

// One segment: NAME, bytes 1..10 of the record.
inline uint32_t parse_name(IndexHandle ix, uint32_t *key_length) {
    ix->header.segment_count = 1;
    ix->header.segments[0] = KeySegment{'C', uint8_t(kNameLength), 1, 0};
    *key_length = kNameLength;
    return 0;
}

// NAME as the key, with the tag filter of the handle.
inline uint32_t build_name(IndexHandle ix, void *record, void *key) {
    const auto *r = static_cast<const uint8_t *>(record);
    std::memcpy(key, r + 1, kNameLength);
    const uint8_t excluded = uint8_t(ix->tag_filter), required = uint8_t(ix->tag_filter >> 8);
    if (excluded && r[0] == excluded) return ERR_RECORD_FILTERED;
    if (required && r[0] != required) return ERR_RECORD_FILTERED;
    return 0;
}

inline std::string name_key(const std::string &name) {
    std::string key = name;
    key.resize(kNameLength, ' ');
    return key;
}

inline std::vector<uint8_t> name_record(const std::string &name, uint32_t num, char tag = ' ') {
    std::string text = name_key(name) + std::to_string(100000 + num % 100000).substr(0, 6);
    return record_image(kRecordLength, text, tag);
}

// The data file and its name index, both open.
class NamesIndex {
public:
    NamesIndex(const std::string &dir, uint32_t node_size = 512, uint32_t flags = KVL_SORT_BYTES,
               uint32_t data_flags = 0)
        : data_path_(dir + "/names.dbf"), index_path_(dir + "/names.ix4") {
        std::vector<FieldDescriptor> fields = descriptors({{"NAME", 'C', 10}, {"NUM", 'C', 6}});
        create_rc = KvlDataCreateFile(0x03, 2, fields.data(), data_path_.c_str(), 0, nullptr);
        data_ = std::make_unique<DataFile>(data_path_, 2);
        open_rc = (*data_).open(data_flags);
        char expression[] = "NAME";
        if (create_rc == 0)
            create_rc = KvlIx4CreateFile(node_size, flags, 850, 1, nullptr, expression, data(),
                                         index_path_.c_str(), parse_name, 0, nullptr);
        index_ = std::make_unique<IndexRecord>(node_size, data());
        (*index_)->build_key = build_name;
        (*index_)->parse = parse_name;
        if (open_rc == 0) open_rc = index_->open(index_path_);
    }
    ~NamesIndex() {
        index_.reset();
        data_.reset();
    }
    DataControlRecord *data() { return data_->rec(); }
    IndexControlRecord *index() { return index_->get(); }
    const std::string &data_path() const { return data_path_; }
    const std::string &index_path() const { return index_path_; }

    // Adds a record and its key.
    uint32_t insert(const std::string &name, uint32_t num, uint32_t *record_number = nullptr,
                    char tag = ' ') {
        std::vector<uint8_t> record = name_record(name, num, tag);
        std::string key(kNameLength, '\0');
        uint32_t number = 0, state = 0;
        const uint32_t rc = KvlIx4Insert(index(), key.data(), &number, record.data(), &state);
        if (record_number) *record_number = number;
        return rc;
    }

    uint32_t create_rc = 0, open_rc = 0;

private:
    std::string data_path_, index_path_;
    std::unique_ptr<DataFile> data_;
    std::unique_ptr<IndexRecord> index_;
};

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_INDEX_RECORD_INDEX_SUPPORT_H
