// ix4_checker.h - walks an .IX4 index file and lists every broken rule of
// its format.  Used by the ix4check tool and by tests.
//
// The file is read whole and its bytes are checked here, independently of
// the engine's tree code: the header fields, every node reached from the
// root (reached once, 1 to keys-per-node keys, zero past its used part, at
// most 16 levels deep), the order of all keys along an in-order walk, the
// header's key count, and the free-node list (in range, marked "AVL", not
// looping, not in the tree).  Only the key order comes from the engine: the
// index's own compare (KvlFuncIx4SortCmp, or a compare the caller names).
// With a data file, every key must equal the key the engine builds from its
// record, and every record that the tag filter does not exclude must have
// exactly one key.
//
// Header-only on purpose: tools and tests include it and link korval32.
#ifndef KVL_TOOLS_IX4_CHECKER_H
#define KVL_TOOLS_IX4_CHECKER_H

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/korval32_control.h"

namespace ix4check {

struct Options {
    std::string index_path;
    std::string data_path;  // empty or "-": an index without data file
    uint32_t tag_filter = 0;  // as the handle's: byte 0 excluded tag, byte 1 required tag
    KvlCompare compare = nullptr;         // the handle's compare slot, if the index had one
    KvlCompare custom_compare = nullptr;  // for sort functions 0x20 and up
    KvlBuildKey build_key = nullptr;      // the handle's build-key slot, if any
    size_t max_problems = 50;             // further problems are only counted
};

struct Report {
    std::vector<std::string> problems;
    size_t problems_not_listed = 0;
    uint32_t keys = 0;
    uint32_t tree_nodes = 0;
    uint32_t free_nodes = 0;
    uint32_t unused_nodes = 0;  // neither in the tree nor free (a rebuild leaves some)
    uint32_t depth = 0;
    uint32_t records = 0;

    bool ok() const { return problems.empty(); }
    std::string summary() const {
        std::ostringstream out;
        out << "ok: " << keys << " keys, " << tree_nodes << " tree nodes, " << free_nodes
            << " free nodes, " << unused_nodes << " unused nodes, depth " << depth;
        if (records) out << ", " << records << " records";
        return out.str();
    }
    std::string text() const {
        std::ostringstream out;
        for (const std::string &problem : problems) out << problem << "\n";
        if (problems_not_listed) out << "... and " << problems_not_listed << " more problems\n";
        return out.str();
    }
};

namespace detail {

inline uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class Checker {
public:
    Checker(const Options &options, Report &report) : options_(options), report_(report) {}

    void run() {
        if (!load_file()) return;
        if (!check_header()) return;
        prepare_handle();
        if (!open_data()) return;
        walk_tree();
        walk_free_list();
        count_unused();
        if (data_) check_records();
        close_data();
    }

private:
    enum Mark : uint8_t { kNone = 0, kTree = 1, kFree = 2 };

    const Options &options_;
    Report &report_;
    std::vector<uint8_t> file_;
    IndexHeader header_{};
    uint32_t node_size_ = 0, key_length_ = 0, kpn_ = 0, nodes_in_file_ = 0;
    bool can_compare_ = true;
    korval32::IndexControl ix_control_;  // never opened: the compare and key builder read it
    IndexControlRecord *ix_ = nullptr;
    std::vector<uint8_t> marks_;
    korval32::DataControl data_control_;
    DataControlRecord *data_ = nullptr;
    std::vector<uint32_t> key_of_record_;  // tree key count per record number
    const uint8_t *previous_key_ = nullptr;

    template <class... Parts>
    void problem(const Parts &...parts) {
        if (report_.problems.size() >= options_.max_problems) {
            ++report_.problems_not_listed;
            return;
        }
        std::ostringstream out;
        (out << ... << parts);
        report_.problems.push_back(out.str());
    }

    bool load_file() {
        std::ifstream in(options_.index_path, std::ios::binary);
        if (!in) {
            problem("cannot read index file ", options_.index_path);
            return false;
        }
        file_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (file_.size() < sizeof(IndexHeader)) {
            problem("file is ", file_.size(), " bytes, shorter than the 1024-byte header");
            return false;
        }
        std::memcpy(&header_, file_.data(), sizeof header_);
        return true;
    }

    bool check_header() {
        const IndexHeader &h = header_;
        if (h.signature != KVL_INDEX_SIGNATURE) {
            problem("signature is 0x", std::hex, h.signature, ", not 0x78713134");
            return false;
        }
        node_size_ = h.node_size;
        if (node_size_ != 512 && node_size_ != 1024 && node_size_ != 1536 && node_size_ != 2048 &&
            node_size_ != 2560) {
            problem("node size ", node_size_, " is not 512, 1024, 1536, 2048 or 2560");
            return false;
        }
        key_length_ = h.key_length;
        if (key_length_ == 0 || key_length_ > KVL_MAX_KEY_LENGTH) {
            problem("key length ", key_length_, " is not 1 to 196");
            return false;
        }
        uint32_t fit = (node_size_ - 5) / (key_length_ + 8);
        if (fit > 255) fit = 255;
        kpn_ = h.keys_per_node;
        if (kpn_ != fit) problem("keys per node is ", kpn_, ", the geometry gives ", fit);
        if (kpn_ == 0 || kpn_ > fit) return false;
        if (h.flags & 0xFF00u) problem("index flags bits 8-15 are not 0");
        if (h.state & KVL_IX_STATE_PENDING) problem("changes pending: the header was not flushed");
        const uint32_t sort = h.flags & KVL_IX_SORT_MASK;
        if (sort == 0 || (sort > KVL_SORT_BY_TYPE && sort < KVL_SORT_CUSTOM_FIRST)) {
            problem("sort function ", sort, " is unknown");
            can_compare_ = false;
        } else if (sort >= KVL_SORT_CUSTOM_FIRST && !options_.compare && !options_.custom_compare) {
            problem("sort function ", sort, " needs a custom compare; key order not checked");
            can_compare_ = false;
        }
        const bool wants_table = sort == KVL_SORT_COLLATED || sort >= KVL_SORT_BY_TYPE;
        if (h.collation_size != 0 && h.collation_size != 256)
            problem("collation size is ", h.collation_size, ", not 0 or 256");
        else if (wants_table && h.collation_size != 256)
            problem("sort function ", sort, " without a collation table");
        if (h.segment_count > KVL_MAX_SEGMENTS)
            problem("segment count ", h.segment_count, " is above 16");
        if (h.next_node == 0) problem("next node is 0");
        const size_t body = file_.size() - sizeof(IndexHeader);
        if (body % node_size_ != 0)
            problem("file holds ", body, " bytes of nodes, not a whole number of nodes");
        nodes_in_file_ = uint32_t(body / node_size_);
        if (h.next_node != nodes_in_file_ + 1)
            problem("next node is ", h.next_node, " but the file holds ", nodes_in_file_, " nodes");
        if ((h.root == 0) != (h.key_count == 0))
            problem("root is ", h.root, " with a key count of ", h.key_count);
        return true;
    }

    void prepare_handle() {
        ix_control_ = korval32::IndexControl(node_size_);
        ix_ = ix_control_.get();
        std::memcpy(&ix_->header, &header_, sizeof header_);
        ix_->data_link = KVL_NO_DATA_FILE;
        ix_->compare = options_.compare;
        ix_->custom_compare = options_.custom_compare;
        ix_->build_key = options_.build_key;
        ix_->tag_filter = options_.tag_filter;
        marks_.assign(size_t(nodes_in_file_) + 1, kNone);
    }

    const uint8_t *node(uint32_t number) const {
        return file_.data() + sizeof(IndexHeader) + size_t(number - 1) * node_size_;
    }
    uint32_t stride() const { return key_length_ + 8; }
    uint32_t child(const uint8_t *n, uint32_t slot) const { return le32(n + 1 + slot * stride()); }
    const uint8_t *key(const uint8_t *n, uint32_t slot) const { return n + 5 + slot * stride(); }

    int32_t compare(const uint8_t *a, const uint8_t *b, uint32_t flag) {
        KvlCompare fn = ix_->compare ? ix_->compare : KvlFuncIx4SortCmp;
        return fn(ix_, a, b, nullptr, flag);
    }

    // Validates a node about to be entered from the tree; false: do not enter.
    bool enter(uint32_t number, uint32_t parent, uint32_t depth) {
        if (number > nodes_in_file_) {
            problem("node ", number, " (child of node ", parent, ") is past the end of the file");
            return false;
        }
        if (marks_[number] == kTree) {
            problem("node ", number, " is reached twice (again from node ", parent, ")");
            return false;
        }
        if (depth > KVL_MAX_DEPTH + 1) {
            problem("node ", number, " lies ", depth, " levels deep, more than 16");
            return false;
        }
        marks_[number] = kTree;
        ++report_.tree_nodes;
        if (depth > report_.depth) report_.depth = depth;
        const uint8_t *n = node(number);
        const uint32_t count = n[0];
        if (count == 0 || count > kpn_) {
            problem("node ", number, " holds ", count, " keys, not 1 to ", kpn_);
            return false;
        }
        const uint32_t used = 5 + count * stride();
        for (uint32_t i = used; i < node_size_; ++i) {
            if (n[i] != 0) {
                problem("node ", number, " has non-zero bytes past its ", count, " keys");
                break;
            }
        }
        return true;
    }

    void visit_key(uint32_t number, uint32_t slot) {
        const uint8_t *k = key(node(number), slot);
        ++report_.keys;
        if (can_compare_ && previous_key_) {
            const uint32_t flag = (header_.flags & KVL_IX_DUPLICATES) ? 1 : 0;
            if (compare(previous_key_, k, flag) >= 0)
                problem("key at node ", number, " slot ", slot,
                        " does not sort after the key before it");
        }
        previous_key_ = k;
        if (data_) {
            const uint32_t record = le32(k + key_length_);
            check_key_record(k, record, number, slot);
        }
    }

    void walk_tree() {
        if (header_.root == 0) return;
        struct Frame {
            uint32_t node;
            uint32_t slot;
            bool descended;
        };
        std::vector<Frame> stack;
        if (!enter(header_.root, 0, 1)) return;
        stack.push_back({header_.root, 0, false});
        while (!stack.empty()) {
            Frame &top = stack.back();
            const uint8_t *n = node(top.node);
            if (!top.descended) {
                top.descended = true;
                const uint32_t c = child(n, top.slot);
                const uint32_t parent = top.node;
                if (c != 0 && enter(c, parent, uint32_t(stack.size()) + 1)) stack.push_back({c, 0, false});
                continue;
            }
            if (top.slot < n[0]) {
                visit_key(top.node, top.slot);
                ++top.slot;
                top.descended = false;
                continue;
            }
            stack.pop_back();
        }
        if (report_.keys != header_.key_count)
            problem("header counts ", header_.key_count, " keys, the tree holds ", report_.keys);
    }

    void walk_free_list() {
        uint32_t number = header_.free_head;
        uint32_t from = 0;
        while (number != 0) {
            if (number > nodes_in_file_) {
                problem("free node ", number, " (after ", from, ") is past the end of the file");
                return;
            }
            if (marks_[number] == kTree) {
                problem("free node ", number, " is part of the tree");
                return;
            }
            if (marks_[number] == kFree) {
                problem("free list loops back to node ", number);
                return;
            }
            marks_[number] = kFree;
            ++report_.free_nodes;
            const uint8_t *n = node(number);
            if (n[0] != 0 || std::memcmp(n + 5, "AVL", 3) != 0)
                problem("free node ", number, " lacks the \"AVL\" marker");
            for (uint32_t i = 8; i < node_size_; ++i) {
                if (n[i] != 0) {
                    problem("free node ", number, " has non-zero bytes past its marker");
                    break;
                }
            }
            from = number;
            number = le32(n + 1);
        }
    }

    void count_unused() {
        for (uint32_t n = 1; n <= nodes_in_file_; ++n)
            if (marks_[n] == kNone) ++report_.unused_nodes;
    }

    // ---- data file --------------------------------------------------------

    bool open_data() {
        if (options_.data_path.empty() || options_.data_path == "-") return true;
        uint8_t dbf_header[32];
        int32_t fields = 0;
        uint32_t rc = KvlDataInfoFile(options_.data_path.c_str(), 0, dbf_header, &fields, nullptr);
        if (rc != 0 || fields <= 0) {
            problem("cannot read data file ", options_.data_path, " (result ", rc, ")");
            return false;
        }
        data_control_ = korval32::DataControl(uint32_t(fields));
        data_ = data_control_.get();
        data_->file_name = options_.data_path.c_str();
        data_->open_mode = 0;
        rc = KvlDataOpenFile(data_, KVL_STATE_READ_ONLY);
        if (rc != 0 && rc != ERR_INCOMPLETE_WRITE) {
            problem("cannot open data file ", options_.data_path, " (result ", rc, ")");
            data_ = nullptr;
            return false;
        }
        ix_->data_link = data_;
        report_.records = data_->header.record_count;
        key_of_record_.assign(size_t(report_.records) + 1, 0);
        return true;
    }

    void close_data() {
        data_control_.close();
        data_ = nullptr;
    }

    // Builds the key of a record; 0, ERR_RECORD_FILTERED or an error.
    uint32_t build(uint32_t record_number, std::vector<uint8_t> &record, uint8_t *built) {
        record.assign(data_->header.record_length, 0);
        uint32_t rc = KvlDataGetRecord(data_, record_number, record.data());
        if (rc != 0) return rc;
        ix_->reindex_marker = 0;
        KvlBuildKey fn = ix_->build_key ? ix_->build_key : KvlFuncIx4BuildKey;
        return fn(ix_, record.data(), built);
    }

    void check_key_record(const uint8_t *k, uint32_t record_number, uint32_t number,
                          uint32_t slot) {
        if (record_number == 0 || record_number > report_.records) {
            problem("key at node ", number, " slot ", slot, " points to record ", record_number,
                    " of ", report_.records);
            return;
        }
        if (++key_of_record_[record_number] == 2)
            problem("record ", record_number, " has more than one key");
        std::vector<uint8_t> record;
        uint8_t built[KVL_MAX_KEY_LENGTH + 4] = {};
        const uint32_t rc = build(record_number, record, built);
        if (rc == ERR_RECORD_FILTERED)
            problem("record ", record_number, " is excluded by the tag filter but has a key");
        else if (rc != 0)
            problem("cannot build the key of record ", record_number, " (result ", rc, ")");
        else if (std::memcmp(built, k, key_length_) != 0)
            problem("key at node ", number, " slot ", slot, " differs from the key of record ",
                    record_number);
    }

    void check_records() {
        std::vector<uint8_t> record;
        uint8_t built[KVL_MAX_KEY_LENGTH + 4];
        for (uint32_t r = 1; r <= report_.records; ++r) {
            if (key_of_record_[r] != 0) continue;
            const uint32_t rc = build(r, record, built);
            if (rc == ERR_RECORD_FILTERED) continue;
            if (rc != 0)
                problem("cannot build the key of record ", r, " (result ", rc, ")");
            else
                problem("record ", r, " has no key");
        }
    }
};

}  // namespace detail

inline Report check_index(const Options &options) {
    Report report;
    detail::Checker(options, report).run();
    return report;
}

}  // namespace ix4check

#endif  // KVL_TOOLS_IX4_CHECKER_H
