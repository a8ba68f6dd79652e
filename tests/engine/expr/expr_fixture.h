// expr_fixture.h - an open data file and an index, fabricated in memory as
// the open calls leave them, for testing key expressions without files.
#ifndef KVL_TESTS_EXPR_FIXTURE_H
#define KVL_TESTS_EXPR_FIXTURE_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/korval32_control.h"

namespace kvl_test {

struct FieldSpec {
    const char *name;
    char type;
    uint32_t length;  // for binary types the size their type implies
};

// A DataControlRecord as a successful open leaves it: kind set, a handle,
// the field count, names upper-case and NUL-padded, offsets running from 1.
class FakeDataFile {
public:
    explicit FakeDataFile(const std::vector<FieldSpec> &fields)
        : record_(static_cast<uint32_t>(fields.size())) {
        DataControlRecord *data = record_.get();
        data->kind = KVL_KIND_DATA;
        data->os_handle = 7;
        uint32_t offset = 1;
        for (size_t i = 0; i < fields.size(); ++i) {
            FieldDescriptor &d = data->fields[i];
            std::strncpy(d.name, fields[i].name, 10);
            d.type = fields[i].type;
            d.offset = offset;
            d.length = static_cast<uint8_t>(fields[i].length);
            if (fields[i].type == 'C') d.decimals = static_cast<uint8_t>(fields[i].length >> 8);
            offset += fields[i].length;
        }
        data->header.record_length = static_cast<uint16_t>(offset);
    }
    // The handle was never opened: the record must not close it.
    ~FakeDataFile() { record_->os_handle = 0; }
    FakeDataFile(const FakeDataFile &) = delete;
    FakeDataFile &operator=(const FakeDataFile &) = delete;

    DataControlRecord *get() const { return record_.get(); }
    const FieldDescriptor &field(const char *name) const {
        for (uint32_t i = 0; i < record_->field_count; ++i)
            if (std::strcmp(record_->fields[i].name, name) == 0) return record_->fields[i];
        std::abort();
    }
    uint32_t record_length() const { return record_->header.record_length; }

    // A blank record ('' tag) with the given fields filled in.
    std::string record(const std::vector<std::pair<const char *, std::string>> &values,
                       char tag = ' ') const {
        std::string r(record_length(), ' ');
        r[0] = tag;
        for (const auto &[name, text] : values) {
            const FieldDescriptor &d = field(name);
            r.replace(d.offset, text.size(), text);
        }
        return r;
    }

private:
    korval32::DataControl record_;
};

// An IndexControlRecord linked to a data file, with an expression and the
// sort function in its header.
class FakeIndex {
public:
    FakeIndex(const FakeDataFile &data, const std::string &expression, uint32_t sort)
        : record_(512) {
        record_->data_link = data.get();
        record_->header.flags = sort;
        std::memcpy(record_->header.expression, expression.data(),
                    std::min(expression.size(), sizeof record_->header.expression));
    }

    IndexControlRecord *get() const { return record_.get(); }
    IndexHeader &header() const { return record_->header; }

    // Parses as index creation does: the key length goes into the header.
    uint32_t parse() {
        uint32_t length = 0;
        uint32_t rc = KvlFuncIx4ParseExp(get(), &length);
        if (rc == 0) record_->header.key_length = length;
        return rc;
    }

    // Builds a key into a buffer larger than any key, the rest left 0xEE.
    uint32_t build(std::string record, std::vector<uint8_t> *key) {
        key->assign(256, 0xEE);
        return KvlFuncIx4BuildKey(get(), record.data(), key->data());
    }

private:
    korval32::IndexControl record_;
};

// The register's data file: eight character fields, 124-byte records.
inline std::vector<FieldSpec> register_fields() {
    return {{"ID", 'C', 6},       {"CHKID", 'C', 6}, {"CHKDATE", 'C', 8},
            {"VENDORID", 'C', 10}, {"NAME", 'C', 35}, {"POID", 'C', 8},
            {"DESC", 'C', 35},    {"AMOUNT", 'C', 15}};
}

// Fields of every kind the key rules tell apart.
inline std::vector<FieldSpec> mixed_fields() {
    return {{"NAME", 'C', 35},   {"ID", 'C', 6},      {"NUM", 'N', 12},
            {"SMALL", 'N', 3},   {"FLT", 'F', 10},    {"I2", '3', 2},
            {"U2", '4', 2},      {"I4", '5', 4},      {"U4", '6', 4},
            {"I8", '7', 8},      {"U8", '8', 8},      {"CUR", 'Y', 8},
            {"DAT", 'D', 8},     {"LOG", 'L', 1},     {"NAME12", 'C', 12},
            {"NAME14", 'C', 14}, {"TENCHARSXX", 'C', 4}, {"EMPTYN", 'N', 0},
            {"LONGC", 'C', 300}};
}

}  // namespace kvl_test

#endif  // KVL_TESTS_EXPR_FIXTURE_H
