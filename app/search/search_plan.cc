// search_plan.cc - the three plans of a search and the estimate that
// chooses among them (search_plan.h explains both).
#include "app/search/search_plan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "app/search/index_walk.h"
#include "app/search/record_test.h"
#include "app/store/register_files.h"

namespace ledgrove {
namespace {

// ---- the cost estimate's constants (microseconds of CPU time) -------------

constexpr double kNodeRead = 1.0;     // one node read: a system call
constexpr double kRecordRead = 1.2;   // one record read at a random place
constexpr double kByte = 0.0005;      // one byte of a large read
constexpr double kKeyStep = 0.05;     // one key-level call that stays in its node
constexpr double kTest = 0.03;        // the tests of one record
constexpr double kSortStep = 0.03;    // one compare of the matches' sort

constexpr std::size_t kWorkMemory = std::size_t(192) << 20;  // the planner's own bytes
constexpr std::uint32_t kRunGap = 32;       // records: a gap this short is read through
constexpr std::uint32_t kRunRecords = 8192;  // records in one read (1 MiB)
constexpr std::size_t kFirstBatch = 256;
constexpr std::size_t kBatch = std::size_t(1) << 18;  // 32 MiB of records

constexpr std::uint32_t kDeleted = static_cast<unsigned char>(kDeletedTag);

// ---- one search's state, shared by every plan -------------------------------

struct Run {
    Run(DatabaseSet &s, SortOrder o, const SearchInputs &i, RecordSink &k)
        : set(s), order(o), in(i), sink(k), test(i), listed(k, o == SortOrder::Amount, i.reverse),
          from(i.from), to(i.to), date_order(o == SortOrder::Date) {}

    // The order walk's step for one record that the engine handed on: the
    // same tests, the same count and total, the same sink.  False ends the
    // walk (past the Date order's range, or the sink wants no more).
    bool visit(const CheckRecord &record) {
        const std::string_view date = field_text(record.CHKDATE);
        const bool in_range = date >= from && date <= to;
        if (!in_range && date_order) return false;
        if (in_range && test.passes(record)) {
            ++outcome.line_count;
            outcome.total_cents += stored_cents(field_text(record.AMOUNT));
            listed.add(record);
            return sink.wants_more();
        }
        return true;
    }

    // A record read by a plan goes through the set's record buffer, as the
    // order walk's records do.
    bool visit_copy(const CheckRecord &record) {
        set.record() = record;
        return visit(set.record());
    }

    bool in_date_range(std::string_view date) const { return date >= from && date <= to; }

    void note_work(std::size_t bytes) {
        outcome.work_bytes = std::max(outcome.work_bytes, bytes);
    }

    DatabaseSet &set;
    SortOrder order;
    const SearchInputs &in;
    RecordSink &sink;
    RecordTest test;
    NegativeRun listed;
    SearchResult outcome;
    std::string_view from, to;
    bool date_order;
};

// ---- the reference: the walk of the order's index ----------------------------

void order_walk(Run &run) {
    const std::string_view start_key =
        !run.date_order ? std::string_view() : run.in.reverse ? run.to : run.from;
    walk_index(run.set, index_for(run.order), start_key,
               run.in.reverse ? WalkDirection::Backward : WalkDirection::Forward,
               [&](const CheckRecord &record) { return run.visit(record); });
    run.outcome.end_result = run.set.last_result();
    run.outcome.plan = SearchPlan::OrderWalk;
}

// ---- what the register's files allow ---------------------------------------

// An index's keys as the plans use them: each segment a character field
// copied as stored; the first segment the index's leading field, whole.
struct KeyLayout {
    bool usable = false;
    std::uint32_t key_length = 0;
    std::size_t field_offset = 0, field_width = 0;  // the leading field in the record
    std::vector<std::pair<std::uint16_t, std::uint16_t>> segments;  // record offset, length
    bool sortable = false;            // the built-in compare of bytes or collated bytes
    const std::uint8_t *weights = nullptr;  // the collation table; null: plain bytes
    std::uint8_t lightest = 0;        // the byte of least weight
};

KeyLayout layout_of(IndexHandle ix, RegisterIndex which) {
    KeyLayout layout;
    const IndexHeader &header = ix->header;
    const FieldInfo &lead = field_info(index_info(which).leading_field);
    if (header.segment_count == 0 || header.segment_count > KVL_MAX_SEGMENTS ||
        header.key_length == 0 || header.key_length > KVL_MAX_KEY_LENGTH)
        return layout;
    std::uint32_t sum = 0;
    for (std::uint32_t i = 0; i < header.segment_count; ++i) {
        const KeySegment &segment = header.segments[i];
        if (segment.type != 'C' || segment.flags != 0 || segment.length == 0 ||
            segment.offset + segment.length > kCheckRecordSize || segment.offset == 0)
            return layout;
        layout.segments.emplace_back(segment.offset, segment.length);
        sum += segment.length;
    }
    if (sum != header.key_length) return layout;
    if (header.segments[0].offset != lead.offset || header.segments[0].length != lead.width)
        return layout;
    layout.usable = true;
    layout.key_length = header.key_length;
    layout.field_offset = lead.offset;
    layout.field_width = lead.width;
    const std::uint32_t sort = header.flags & KVL_IX_SORT_MASK;
    const bool builtin = !ix->compare || ix->compare == &KvlFuncIx4SortCmp;
    layout.sortable = builtin && (sort == KVL_SORT_BYTES || sort == KVL_SORT_COLLATED);
    if (sort == KVL_SORT_COLLATED && header.collation_size != 0) {
        layout.weights = header.collation;
        for (unsigned code = 1; code < 256; ++code)
            if (header.collation[code] < header.collation[layout.lightest])
                layout.lightest = static_cast<std::uint8_t>(code);
    }
    return layout;
}

// Whether the plans other than the order walk can read this register.
bool plans_apply(DatabaseSet &set, SortOrder order) {
    if (!set.data_open() || !set.index_open(index_for(order))) return false;
    const DataControlRecord *data = set.data();
    return data->header.record_length == kCheckRecordSize && !data->record_callback &&
           data->lock_base == 0 && set.index(index_for(order))->header.key_count > 0;
}

bool passed_over(const DataControlRecord *data, const CheckRecord &record) {
    return (data->state & KVL_STATE_SKIP_DELETED) &&
           static_cast<unsigned char>(record.tag) == kDeleted;
}

// ---- reading records in record-number order ---------------------------------

// Reads the records of `numbers` (any order, repeats allowed) into `slots`
// (slot i for numbers[i]) and each one's engine result into `results`:
// sorted by record number, neighbours no more than kRunGap apart read in one
// read of up to kRunRecords, a lone record by the engine's record read.  A
// run whose read fails or comes back short is read again record by record,
// so that each record gets the result the engine's own read gives it.
class RecordReader {
public:
    explicit RecordReader(DataControlRecord *data) : data_(data) {}

    void read(const std::uint32_t *numbers, std::size_t count, CheckRecord *slots,
              std::uint32_t *results) {
        // Each record number with its slot in one integer, sorted as such:
        // far quicker than sorting slots through the numbers they point at.
        order_.resize(count);
        for (std::size_t i = 0; i < count; ++i) order_[i] = std::uint64_t(numbers[i]) << 32 | i;
        if (!std::is_sorted(order_.begin(), order_.end())) std::sort(order_.begin(), order_.end());
        const auto number_at = [&](std::size_t k) { return static_cast<std::uint32_t>(order_[k] >> 32); };
        const auto slot_at = [&](std::size_t k) { return static_cast<std::uint32_t>(order_[k]); };
        std::size_t i = 0;
        while (i < count) {
            const std::uint32_t first = number_at(i);
            std::size_t j = i + 1;
            while (j < count && number_at(j) - number_at(j - 1) <= kRunGap && number_at(j) - first < kRunRecords)
                ++j;
            const std::uint32_t last = number_at(j - 1);
            if (last == first || !read_run(first, last)) {
                for (std::size_t k = i; k < j; ++k)
                    results[slot_at(k)] = KvlDataGetRecord(data_, number_at(k), &slots[slot_at(k)]);
            } else {
                for (std::size_t k = i; k < j; ++k) {
                    std::memcpy(&slots[slot_at(k)], run_.data() + (number_at(k) - first) * kCheckRecordSize,
                                kCheckRecordSize);
                    results[slot_at(k)] = ERR_NONE;
                }
            }
            i = j;
        }
    }

    // Records first..last in one read into the run buffer; false when that
    // read does not give them all.
    bool read_run(std::uint32_t first, std::uint32_t last) {
        const DbfHeader &header = data_->header;
        if (first == 0 || last > header.record_count) return false;
        const std::uint64_t offset =
            header.header_length + std::uint64_t(first - 1) * kCheckRecordSize;
        const std::uint64_t bytes = std::uint64_t(last - first + 1) * kCheckRecordSize;
        if (offset + bytes >= std::numeric_limits<std::uint32_t>::max()) return false;
        run_.resize(bytes);
        std::uint32_t length = static_cast<std::uint32_t>(bytes);
        std::uint32_t position[2] = {static_cast<std::uint32_t>(offset), 0};
        const std::uint32_t rc =
            KvlReadAtFile(data_->os_handle, &length, run_.data(), position, data_->file_layer);
        return rc == ERR_NONE && length == bytes;
    }

    const char *run_data() const { return run_.data(); }
    std::size_t bytes() const { return order_.capacity() * 8 + run_.capacity(); }

private:
    DataControlRecord *data_;
    std::vector<std::uint64_t> order_;  // record number << 32 | slot
    std::vector<char> run_;
};

// The estimated cost of reading the records of `numbers` in batches of
// kBatch: a batch whose records lie close together (the mean gap no more
// than kRunGap) reads its stretch of the file; a scattered one reads each
// record, or its whole stretch, whichever costs less.
double fetch_cost(const std::vector<std::uint32_t> &numbers) {
    double cost = 0;
    for (std::size_t first = 0; first < numbers.size(); first += kBatch) {
        const std::size_t last = std::min(numbers.size(), first + kBatch);
        const auto [low, high] =
            std::minmax_element(numbers.begin() + first, numbers.begin() + last);
        const double count = double(last - first);
        const double span = double(*high - *low + 1);
        const double sweep = span * kCheckRecordSize * kByte + span / kRunRecords * kRecordRead;
        cost += span / count <= kRunGap ? sweep : std::min(sweep, count * kRecordRead);
    }
    return cost;
}

// ---- the key range ----------------------------------------------------------

// The keys a key walk found: the record numbers in listing order, and the
// engine result that ended it.
struct KeyHits {
    std::vector<std::uint32_t> records;
    std::uint32_t end_result = ERR_NONE;
    bool gave_up = false;  // the walk passed its cost limit
};

// An amount bound in cents above zero, or none.
struct AmountBounds {
    bool bounded = false;
    std::int64_t lower = 0, upper = std::numeric_limits<std::int64_t>::max();
};

AmountBounds amount_bounds(const SearchInputs &in) {
    AmountBounds b;
    std::int64_t lower = std::numeric_limits<std::int64_t>::min();
    if (!in.amount.empty()) {
        const std::int64_t wanted = cents_of(in.amount);
        switch (in.amount_operator) {
            case '>': lower = wanted; break;
            case '=': lower = wanted; b.upper = wanted; break;
            case '<': b.upper = wanted; break;
            default: break;
        }
    }
    if (!in.amount_min.empty()) lower = std::max(lower, cents_of(in.amount_min));
    if (!in.amount_max.empty()) b.upper = std::min(b.upper, cents_of(in.amount_max));
    b.bounded = lower > 0 && b.upper >= lower;
    b.lower = lower;
    return b;
}

// Whether stored amounts sort as their values under the index's compare:
// the digits weigh more one after the other.
bool digits_in_order(const KeyLayout &layout) {
    if (!layout.weights) return true;
    for (char c = '0'; c < '9'; ++c)
        if (layout.weights[static_cast<unsigned char>(c)] >=
            layout.weights[static_cast<unsigned char>(c + 1)])
            return false;
    return true;
}

// Walks the order's index with the key-level calls over the range the
// search bounds, collecting the record numbers of the keys that pass the
// key's tests, in listing order.  Gives up once `limit` (microseconds of
// the estimate) is spent.
KeyHits walk_keys(Run &run, const KeyLayout &layout, double limit) {
    KeyHits hits;
    DatabaseSet &set = run.set;
    const RegisterIndex which = index_for(run.order);
    IndexHandle ix = set.index(which);
    const Field lead = index_info(which).leading_field;
    const bool key_test = layout.usable && run.test.tests_field(lead);
    const double per_key = kKeyStep + 2 * kNodeRead / std::max(1u, ix->header.keys_per_node);
    // The Date order walks its range in the search's direction, as the order
    // walk does; the others walk forwards and are listed backwards.
    const bool backward = run.date_order && run.in.reverse;
    AmountBounds bounds;
    std::string stop_text;
    std::array<char, KVL_MAX_KEY_LENGTH + 1> key{};
    std::string_view start;
    if (run.date_order) {
        start = run.in.reverse ? run.to : run.from;
    } else if (run.order == SortOrder::Amount && layout.usable && digits_in_order(layout)) {
        bounds = amount_bounds(run.in);
        if (bounds.bounded) {
            key.fill(static_cast<char>(layout.lightest));
            const std::string low = stored_amount_of_cents(bounds.lower);
            if (low.size() == layout.field_width) {
                low.copy(key.data(), low.size());
                start = std::string_view(key.data(), low.size());
                if (bounds.upper != std::numeric_limits<std::int64_t>::max())
                    stop_text = stored_amount_of_cents(bounds.upper);
            } else {
                bounds.bounded = false;
            }
        }
    }
    if (run.date_order) {
        if (backward) key.fill(heaviest_key_byte(ix));
        start.copy(key.data(), KVL_MAX_KEY_LENGTH);
    } else if (!bounds.bounded) {
        key.fill(0);
        start = {};
    }
    std::uint32_t record_number = 0;
    auto first = !backward ? KvlIx4EqualOrGreaterKey
                           : (start.empty() ? KvlIx4LastKey : KvlIx4EqualOrLesserKey);
    auto step = backward ? KvlIx4PrevKey : KvlIx4NextKey;
    CheckRecord scratch = blank_record();
    char *field = reinterpret_cast<char *>(&scratch) + layout.field_offset;
    std::size_t walked = 0;
    std::uint32_t rc = first(ix, key.data(), &record_number);
    for (; rc == ERR_NONE; rc = step(ix, key.data(), &record_number)) {
        if ((++walked & 1023) == 0 && double(walked) * per_key > limit) {
            hits.gave_up = true;
            return hits;
        }
        if (!layout.usable) {
            hits.records.push_back(record_number);
            continue;
        }
        std::memcpy(field, key.data(), layout.field_width);
        if (run.date_order) {
            if (run.in_date_range(field_text(scratch.CHKDATE))) {
                hits.records.push_back(record_number);
                continue;
            }
            // Past the range's far end, unless the record is deleted: the
            // order walk passes over a deleted record and goes on.
            CheckRecord &record = set.record();
            rc = KvlDataGetRecord(set.data(), record_number, &record);
            if (rc != ERR_NONE) break;
            if (passed_over(set.data(), record)) continue;
            break;
        }
        if (!stop_text.empty() && field[0] >= '0' && field[0] <= '9' &&
            std::string_view(field, layout.field_width) > stop_text) {
            rc = ERR_END_OF_INDEX;  // the rest of the index lies past the upper bound
            break;
        }
        if (key_test && !run.test.field_passes(lead, scratch)) continue;
        hits.records.push_back(record_number);
    }
    // The ends of a walk that did not go over the whole index are those of
    // the order walk, which does.
    if (!run.date_order && (is_end_of_walk(rc) || rc == ERR_NONE))
        rc = run.in.reverse ? ERR_TOP_OF_INDEX : ERR_END_OF_INDEX;
    hits.end_result = rc;
    if (!run.date_order && run.in.reverse) std::reverse(hits.records.begin(), hits.records.end());
    return hits;
}

// Reads the records of the hits in batches and hands them on in the hits'
// order; a record that does not read ends the search with its result, as it
// ends the order walk.
void list_hits(Run &run, const KeyHits &hits) {
    DataControlRecord *data = run.set.data();
    RecordReader reader(data);
    std::vector<CheckRecord> slots;
    std::vector<std::uint32_t> results;
    std::uint32_t end = hits.end_result;
    std::size_t batch = kFirstBatch;
    for (std::size_t first = 0; first < hits.records.size(); first += batch, batch = kBatch) {
        const std::size_t count = std::min(batch, hits.records.size() - first);
        slots.resize(count);
        results.resize(count);
        reader.read(hits.records.data() + first, count, slots.data(), results.data());
        run.note_work(hits.records.capacity() * 4 + slots.capacity() * kCheckRecordSize +
                      results.capacity() * 4 + reader.bytes());
        for (std::size_t i = 0; i < count; ++i) {
            if (results[i] != ERR_NONE) {
                end = results[i];
                goto done;
            }
            if (passed_over(data, slots[i])) continue;
            if (!run.visit_copy(slots[i])) {
                end = ERR_NONE;
                goto done;
            }
        }
    }
done:
    run.outcome.end_result = run.set.note(end);
    run.outcome.plan = SearchPlan::KeyRange;
}

// ---- the date scan ------------------------------------------------------------

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

// ---- the estimate ---------------------------------------------------------------

// Days of a stored date, near enough for a share of a span.
double day_number(std::string_view date) {
    if (date.size() < 8) return 0;
    auto number = [&](std::size_t at, std::size_t n) {
        double v = 0;
        for (std::size_t i = at; i < at + n; ++i)
            v = v * 10 + (date[i] >= '0' && date[i] <= '9' ? date[i] - '0' : 0);
        return v;
    };
    return number(0, 4) * 372 + number(4, 2) * 31 + number(6, 2);
}

// The share of the date index's keys that the date range holds, as if the
// dates were spread evenly from its first date to its last.
double date_share(Run &run) {
    IndexHandle ix = run.set.index(RegisterIndex::Date);
    std::array<char, KVL_MAX_KEY_LENGTH + 1> key{};
    std::uint32_t record_number = 0;
    if (KvlIx4FirstKey(ix, key.data(), &record_number) != ERR_NONE) return 1.0;
    const double first = day_number(std::string_view(key.data(), 8));
    if (KvlIx4LastKey(ix, key.data(), &record_number) != ERR_NONE) return 1.0;
    const double last = day_number(std::string_view(key.data(), 8));
    const double low = std::max(first, day_number(run.from));
    const double high = std::min(last, day_number(run.to));
    if (high < low) return 0.0;
    return std::min(1.0, (high - low + 1) / (last - first + 1));
}

struct ScanEstimate {
    bool possible = false;
    bool whole_file = false;
    double cost = std::numeric_limits<double>::infinity();
};

bool any_test(const SearchInputs &in) {
    return !in.vendor_name.empty() || !in.description.empty() || !in.check_id.empty() ||
           !in.po_number.empty() || !in.vendor_id.empty() || !in.amount.empty() ||
           !in.amount_min.empty() || !in.amount_max.empty() || !in.any_text.empty();
}

ScanEstimate estimate_scan(Run &run, const KeyLayout &layout) {
    ScanEstimate e;
    DatabaseSet &set = run.set;
    if (!layout.usable || !layout.sortable || !set.index_open(RegisterIndex::Date)) return e;
    const KeyLayout dates = layout_of(set.index(RegisterIndex::Date), RegisterIndex::Date);
    if (!dates.usable || !digits_in_order(dates)) return e;
    const double records = set.data()->header.record_count;
    const double date_keys = set.index(RegisterIndex::Date)->header.key_count;
    const double order_keys = set.index(index_for(run.order))->header.key_count;
    const double share = date_share(run);
    const double candidates = share * date_keys;
    // With no test but the dates every candidate is a match, and all must
    // fit in the scan's memory.
    const double entry = double(kCheckRecordSize + layout.key_length + sizeof(SortEntry));
    if (!any_test(run.in) && candidates * entry > double(kWorkMemory)) return e;
    const double per_date_key =
        kKeyStep + 2 * kNodeRead / std::max(1u, set.index(RegisterIndex::Date)->header.keys_per_node);
    const double by_keys = candidates * (per_date_key + kTest) +
                           std::min(candidates * kRecordRead, records * kCheckRecordSize * kByte);
    const double whole = records * (kCheckRecordSize * kByte + kTest);
    e.whole_file = date_keys == records && order_keys == records && whole < by_keys;
    e.possible = e.whole_file || order_keys == date_keys;
    if (!e.possible) return e;
    const double matches = any_test(run.in) ? candidates / 8 : candidates;
    e.cost = (e.whole_file ? whole : by_keys) +
             matches * kSortStep * std::log2(matches + 2);
    return e;
}

double key_walk_estimate(Run &run) {
    IndexHandle ix = run.set.index(index_for(run.order));
    return double(ix->header.key_count) *
           (kKeyStep + 2 * kNodeRead / std::max(1u, ix->header.keys_per_node));
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

void choose_and_run(Run &run, SearchPlan plan) {
    if (plan == SearchPlan::OrderWalk || !plans_apply(run.set, run.order)) {
        order_walk(run);
        return;
    }
    const RegisterIndex which = index_for(run.order);
    const KeyLayout layout = layout_of(run.set.index(which), which);
    if (run.date_order && !layout.usable) {
        order_walk(run);
        return;
    }
    constexpr double kNoLimit = std::numeric_limits<double>::infinity();
    // A sink that takes only its first checks: the keys, where they answer
    // a test of the order's own field (the walk reads no record they turn
    // down, and lists from its first small batch), else the order walk,
    // which stops at the last check wanted.
    if (plan == SearchPlan::Auto && run.sink.at_most() != RecordSink::kAll) {
        if (layout.usable && run.test.tests_field(index_info(which).leading_field))
            list_hits(run, walk_keys(run, layout, kNoLimit));
        else
            order_walk(run);
        return;
    }
    // In the Date order the date scan's records are the key range's, and
    // already in order.
    if (plan == SearchPlan::KeyRange || run.date_order) {
        list_hits(run, walk_keys(run, layout, kNoLimit));
        return;
    }
    const ScanEstimate scan = estimate_scan(run, layout);
    if (plan == SearchPlan::DateScan) {
        if (scan.possible) date_scan(run, layout, scan.whole_file);
        else order_walk(run);
        return;
    }
    // Auto, an order other than Date.
    const bool bounded = run.order == SortOrder::Amount && amount_bounds(run.in).bounded;
    if (scan.possible && !bounded && key_walk_estimate(run) >= scan.cost) {
        date_scan(run, layout, scan.whole_file);
        return;
    }
    KeyHits hits = walk_keys(run, layout, scan.possible ? scan.cost : kNoLimit);
    if (hits.gave_up || (scan.possible && fetch_cost(hits.records) > scan.cost)) {
        hits = {};
        date_scan(run, layout, scan.whole_file);
        return;
    }
    list_hits(run, hits);
}

}  // namespace

const char *search_plan_name(SearchPlan plan) {
    switch (plan) {
        case SearchPlan::OrderWalk: return "order walk";
        case SearchPlan::KeyRange: return "key range";
        case SearchPlan::DateScan: return "date scan";
        case SearchPlan::Auto: break;
    }
    return "auto";
}

SearchResult run_search_plan(DatabaseSet &set, SortOrder order, const SearchInputs &in,
                             RecordSink &sink, SearchPlan plan) {
    Run run(set, order, in, sink);
    choose_and_run(run, plan);
    run.listed.flush();
    return run.outcome;
}

}  // namespace ledgrove
