// date_scan.cc - the date scan: the records of the date range read in
// file order, tested, and the matches sorted by the order's key as the
// index compares them, then listed.
#include <algorithm>
#include <array>
#include <cstring>

#include "app/search/index_walk.h"
#include "app/search/plan_run.h"
#include "app/search/record_reader.h"

namespace ledgrove::plan {
namespace {

// One match: its sort key's first 16 weights as two big-endian numbers (all
// of an amount or date key, most of a name, so that most comparisons never
// reach the rest of the key), its record number, and where its record and
// its full weights are kept.
struct SortEntry {
    std::uint64_t head[2];
    std::uint32_t record_number;
    std::uint32_t index;
};
constexpr std::size_t kHeadBytes = sizeof SortEntry::head;

class DateScan {
public:
    DateScan(Run &run, const KeyLayout &layout) : run_(run), layout_(layout) {}

    // false: the scan gave way (a failed read, or more matches than its
    // memory); nothing went to the sink.
    enum class Outcome { Listed, ReadFailed, TooMany };

    Outcome run_whole_file() {
        DataControlRecord *data = run_.set.data();
        RecordReader reader(data);
        const std::uint32_t count = data->header.record_count;
        for (std::uint32_t first = 1; first <= count; first += kRunRecords) {
            const std::uint32_t last = std::min<std::uint64_t>(count, std::uint64_t(first) + kRunRecords - 1);
            if (!reader.read_run(first, last)) return Outcome::ReadFailed;
            const char *bytes = reader.run_data();
            for (std::uint32_t n = first; n <= last; ++n, bytes += kCheckRecordSize) {
                const CheckRecord &record = *reinterpret_cast<const CheckRecord *>(bytes);
                if (!consider(n, record)) return Outcome::TooMany;
            }
        }
        list(reader.bytes());
        return Outcome::Listed;
    }

    Outcome run_date_keys() {
        DatabaseSet &set = run_.set;
        IndexHandle ix = set.index(RegisterIndex::Date);
        std::array<char, KVL_MAX_KEY_LENGTH + 1> key{};
        run_.from.copy(key.data(), KVL_MAX_KEY_LENGTH);
        std::vector<std::uint32_t> numbers;
        std::uint32_t record_number = 0;
        std::uint32_t rc = KvlIx4EqualOrGreaterKey(ix, key.data(), &record_number);
        for (; rc == ERR_NONE; rc = KvlIx4NextKey(ix, key.data(), &record_number)) {
            const std::string_view date =
                field_text(*reinterpret_cast<const char(*)[8]>(key.data()));
            if (date > run_.to) break;
            if (date >= run_.from) numbers.push_back(record_number);
        }
        if (rc != ERR_NONE && !is_end_of_walk(rc)) return Outcome::ReadFailed;
        DataControlRecord *data = set.data();
        RecordReader reader(data);
        std::vector<CheckRecord> slots;
        std::vector<std::uint32_t> results;
        for (std::size_t first = 0; first < numbers.size(); first += kBatch) {
            const std::size_t count = std::min(kBatch, numbers.size() - first);
            slots.resize(count);
            results.resize(count);
            reader.read(numbers.data() + first, count, slots.data(), results.data());
            for (std::size_t i = 0; i < count; ++i) {
                if (results[i] != ERR_NONE) return Outcome::ReadFailed;
                if (!consider(numbers[first + i], slots[i])) return Outcome::TooMany;
            }
        }
        list(reader.bytes() + numbers.capacity() * 4 + slots.capacity() * kCheckRecordSize +
             results.capacity() * 4);
        return Outcome::Listed;
    }

private:
    // Keeps a record that the order walk would list; false past the memory.
    bool consider(std::uint32_t record_number, const CheckRecord &record) {
        if (passed_over(run_.set.data(), record)) return true;
        if (!run_.in_date_range(field_text(record.CHKDATE)) || !run_.test.passes(record))
            return true;
        const std::size_t width = layout_.key_length;
        if ((matches_.size() + 1) * (kCheckRecordSize + width + sizeof(SortEntry)) > kWorkMemory)
            return false;
        const std::uint32_t index = static_cast<std::uint32_t>(matches_.size());
        matches_.push_back(record);
        const std::size_t at = weights_.size();
        weights_.resize(at + width);
        std::uint8_t *out = weights_.data() + at;
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(&record);
        for (const auto &[offset, length] : layout_.segments) {
            if (layout_.weights)
                for (std::uint16_t i = 0; i < length; ++i) *out++ = layout_.weights[bytes[offset + i]];
            else
                out = std::copy(bytes + offset, bytes + offset + length, out);
        }
        SortEntry entry{{0, 0}, record_number, index};
        const std::uint8_t *w = weights_.data() + at;
        for (std::size_t i = 0; i < kHeadBytes; ++i)
            entry.head[i / 8] = entry.head[i / 8] << 8 | (i < width ? w[i] : 0);
        entries_.push_back(entry);
        return true;
    }

    void list(std::size_t other_bytes) {
        run_.note_work(other_bytes + matches_.capacity() * kCheckRecordSize +
                       weights_.capacity() + entries_.capacity() * sizeof(SortEntry));
        const std::size_t width = layout_.key_length;
        const std::uint8_t *weights = weights_.data();
        std::sort(entries_.begin(), entries_.end(), [&](const SortEntry &a, const SortEntry &b) {
            if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
            if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
            if (width > kHeadBytes) {
                const int c = std::memcmp(weights + std::size_t(a.index) * width + kHeadBytes,
                                          weights + std::size_t(b.index) * width + kHeadBytes,
                                          width - kHeadBytes);
                if (c != 0) return c < 0;
            }
            return a.record_number < b.record_number;
        });
        std::uint32_t end = run_.in.reverse ? ERR_TOP_OF_INDEX : ERR_END_OF_INDEX;
        const std::size_t n = entries_.size();
        for (std::size_t i = 0; i < n; ++i) {
            const SortEntry &entry = entries_[run_.in.reverse ? n - 1 - i : i];
            if (!run_.visit_copy(matches_[entry.index])) {
                end = ERR_NONE;
                break;
            }
        }
        run_.outcome.end_result = run_.set.note(end);
        run_.outcome.plan = SearchPlan::DateScan;
    }

    Run &run_;
    const KeyLayout &layout_;
    std::vector<CheckRecord> matches_;
    std::vector<std::uint8_t> weights_;
    std::vector<SortEntry> entries_;
};

}  // namespace

std::size_t date_scan_match_bytes(const KeyLayout &layout) {
    return kCheckRecordSize + layout.key_length + sizeof(SortEntry);
}

// Runs the date scan; when it gives way, the key range (too many matches)
// or the order walk (a failed read) lists instead.
void date_scan(Run &run, const KeyLayout &layout, bool whole_file) {
    DateScan scan(run, layout);
    const DateScan::Outcome outcome = whole_file ? scan.run_whole_file() : scan.run_date_keys();
    if (outcome == DateScan::Outcome::Listed) return;
    if (outcome == DateScan::Outcome::TooMany) {
        list_hits(run, walk_keys(run, layout, std::numeric_limits<double>::infinity()));
        return;
    }
    order_walk(run);
}

}  // namespace ledgrove::plan
