// data_test_util.h - building descriptors, owning control records and
// looking at raw file bytes in the data file tests.
#ifndef KVL_TESTS_ENGINE_DATA_DATA_TEST_UTIL_H
#define KVL_TESTS_ENGINE_DATA_DATA_TEST_UTIL_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "engine/korval32_control.h"

namespace kvl_test {

struct FieldSpec {
    const char *name;
    char type;
    uint32_t length;  // C fields above 255 spill into the decimal byte
    uint8_t decimals = 0;
};

inline FieldDescriptor descriptor(const FieldSpec &spec) {
    FieldDescriptor d{};
    std::memcpy(d.name, spec.name, strnlen(spec.name, sizeof d.name - 1));
    d.type = spec.type;
    d.length = static_cast<uint8_t>(spec.length & 0xFF);
    d.decimals = spec.type == 'C' && spec.length > 255
                     ? static_cast<uint8_t>(spec.length >> 8)
                     : spec.decimals;
    return d;
}

inline std::vector<FieldDescriptor> descriptors(std::initializer_list<FieldSpec> specs) {
    std::vector<FieldDescriptor> out;
    for (const FieldSpec &s : specs) out.push_back(descriptor(s));
    return out;
}

// The check register's eight character fields: record length 124.
inline std::vector<FieldDescriptor> register_fields() {
    return descriptors({{"ID", 'C', 6}, {"CHKID", 'C', 6}, {"CHKDATE", 'C', 8},
                        {"VENDORID", 'C', 10}, {"NAME", 'C', 35}, {"POID", 'C', 8},
                        {"DESC", 'C', 35}, {"AMOUNT", 'C', 15}});
}

// A control record with room for `capacity` descriptors, closed on
// destruction if still open.  The read-only bit goes first: a read-only
// record with its header changed would refuse the close's flush.
class DataFile {
public:
    DataFile(const std::string &path, uint32_t capacity, const FileLayerTable *layer = nullptr,
             uint32_t open_mode = 0x42)
        : path_(path), control_(capacity) {
        rec()->file_name = path_.c_str();
        rec()->open_mode = open_mode;
        rec()->file_layer = layer;
    }
    ~DataFile() {
        if (control_.is_open()) rec()->state &= ~KVL_STATE_READ_ONLY;
        control_.close();
    }
    DataFile(const DataFile &) = delete;
    DataFile &operator=(const DataFile &) = delete;

    DataControlRecord *rec() { return control_.get(); }
    DataControlRecord *operator->() { return rec(); }
    uint32_t open(uint32_t flags = 0) { return KvlDataOpenFile(rec(), flags); }
    std::string field_name(uint32_t i) { return std::string(rec()->fields[i].name); }
    // Length of field i from the offsets open stored.
    uint32_t field_length(uint32_t i) {
        const uint32_t end = i + 1 < rec()->field_count ? rec()->fields[i + 1].offset
                                                         : rec()->header.record_length;
        return end - rec()->fields[i].offset;
    }

private:
    std::string path_;
    korval32::DataControl control_;
};

// A record image of the given length: tag, then `text` padded with blanks.
inline std::vector<uint8_t> record_image(uint32_t length, const std::string &text,
                                         char tag = ' ') {
    std::vector<uint8_t> r(length, ' ');
    r[0] = static_cast<uint8_t>(tag);
    std::memcpy(r.data() + 1, text.data(), std::min<size_t>(text.size(), length - 1));
    return r;
}

inline std::vector<uint8_t> read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t u32_at(const std::vector<uint8_t> &b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
inline uint32_t u16_at(const std::vector<uint8_t> &b, size_t at) { return b[at] | (b[at + 1] << 8); }

}  // namespace kvl_test

#endif  // KVL_TESTS_ENGINE_DATA_DATA_TEST_UTIL_H
