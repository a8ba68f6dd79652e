// fuzz_support.h - what the fuzz targets share: data and index files that
// close themselves, small data files built once through the engine and kept
// as bytes, and a trap for broken invariants that libFuzzer reports like a
// crash.
//
// Every target runs its engine calls through the in-memory file layer of
// tests/support/memory_layer.h, so an input never touches the disk and one
// run cannot leave anything behind for the next.
#ifndef LEDGROVE_FUZZ_FUZZ_SUPPORT_H
#define LEDGROVE_FUZZ_FUZZ_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/korval32_control.h"
#include "support/memory_layer.h"

namespace kvl_fuzz {

using Bytes = std::vector<uint8_t>;

// Stops the run with a message: libFuzzer keeps the input that did it.
[[noreturn]] inline void broken(const char *what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
inline void require(bool ok, const char *what) {
    if (!ok) broken(what);
}

struct Field {
    const char *name;
    char type;
    uint8_t length;
    uint8_t decimals = 0;
};

inline std::vector<FieldDescriptor> descriptors(std::initializer_list<Field> fields) {
    std::vector<FieldDescriptor> out;
    for (const Field &f : fields) {
        FieldDescriptor d{};
        std::strncpy(d.name, f.name, sizeof d.name - 1);
        d.type = f.type;
        d.length = f.length;
        d.decimals = f.decimals;
        out.push_back(d);
    }
    return out;
}

// A data control record with room for `capacity` fields, opened on `name`
// through `layer` by open(); closed (results ignored) when it goes.
class DataFile {
public:
    DataFile(const char *name, uint32_t capacity, const FileLayerTable *layer)
        : control_(capacity) {
        control_->file_name = name;
        control_->open_mode = 0x42;
        control_->file_layer = layer;
    }
    uint32_t open(uint32_t flags = 0) { return KvlDataOpenFile(control_.get(), flags); }
    DataControlRecord *get() { return control_.get(); }
    DataControlRecord *operator->() { return control_.get(); }
    // Open results that leave the file open and usable.
    static bool usable(uint32_t rc) {
        return rc == ERR_NONE || rc == ERR_INCOMPLETE_WRITE || rc == ERR_MEMO_OPEN;
    }

private:
    korval32::DataControl control_;
};

// An index control record for node size `node_size` on `name`, linked to
// `data`; closed when it goes.
class IndexFile {
public:
    IndexFile(const char *name, uint32_t node_size, DataControlRecord *data,
              const FileLayerTable *layer)
        : control_(node_size) {
        control_->file_name = name;
        control_->open_mode = 0x42;
        control_->data_link = data;
        control_->file_layer = layer;
    }
    uint32_t open(uint32_t flags = 0) { return KvlIx4OpenFile(control_.get(), flags); }
    IndexControlRecord *get() { return control_.get(); }
    IndexControlRecord *operator->() { return control_.get(); }

private:
    korval32::IndexControl control_;
};

// A record image: tag ' ' and `text` padded with blanks to `length`.
inline Bytes record_image(uint32_t length, const std::string &text) {
    Bytes r(length, ' ');
    std::memcpy(r.data() + 1, text.data(), text.size() < length - 1 ? text.size() : length - 1);
    return r;
}

// Writes one seed input into `dir`.
inline void write_seed(const std::string &dir, const std::string &name, const Bytes &bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
inline void write_seed(const std::string &dir, const std::string &name, const std::string &text) {
    write_seed(dir, name, Bytes(text.begin(), text.end()));
}

}  // namespace kvl_fuzz

// Every target defines this: it writes a few sound inputs for a first
// corpus (replay_main's --seeds mode calls it).
extern "C" void kvl_fuzz_write_seeds(const char *dir);

#endif  // LEDGROVE_FUZZ_FUZZ_SUPPORT_H
