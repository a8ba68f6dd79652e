// plan_run.h - what the three plans of a search share (search_plan.h
// describes the plans): the estimate's costs, one search's state (Run),
// the layout of an index's keys, and each plan's entry point.  Used only by
// the plans' own files.
#ifndef LEDGROVE_APP_SEARCH_PLAN_RUN_H
#define LEDGROVE_APP_SEARCH_PLAN_RUN_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "app/search/record_test.h"
#include "app/search/search.h"
#include "app/store/register_files.h"

namespace ledgrove::plan {

// ---- the cost estimate's constants (microseconds of CPU time) -------------

inline constexpr double kNodeRead = 1.0;     // one node read: a system call
inline constexpr double kRecordRead = 1.2;   // one record read at a random place
inline constexpr double kByte = 0.0005;      // one byte of a large read
inline constexpr double kKeyStep = 0.05;     // one key-level call that stays in its node
inline constexpr double kTest = 0.03;        // the tests of one record
inline constexpr double kSortStep = 0.03;    // one compare of the matches' sort

inline constexpr std::size_t kWorkMemory = std::size_t(192) << 20;  // the planner's own bytes
inline constexpr std::size_t kFirstBatch = 256;
inline constexpr std::size_t kBatch = std::size_t(1) << 18;  // 32 MiB of records

inline constexpr std::uint32_t kDeleted = static_cast<unsigned char>(kDeletedTag);

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

KeyLayout layout_of(IndexHandle ix, RegisterIndex which);

// Whether the plans other than the order walk can read this register.
bool plans_apply(DatabaseSet &set, SortOrder order);

inline bool passed_over(const DataControlRecord *data, const CheckRecord &record) {
    return (data->state & KVL_STATE_SKIP_DELETED) &&
           static_cast<unsigned char>(record.tag) == kDeleted;
}

// Whether stored amounts sort as their values under the index's compare:
// the digits weigh more one after the other.
bool digits_in_order(const KeyLayout &layout);

// ---- the plans

// The reference, the walk of the order's index (plan_run.cc).
void order_walk(Run &run);

// ---- the key range (key_range.cc)

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

AmountBounds amount_bounds(const SearchInputs &in);

// Walks the order's index with the key-level calls over the range the
// search bounds, collecting the record numbers of the keys that pass the
// key's tests, in listing order.  Gives up once `limit` (microseconds of
// the estimate) is spent.
KeyHits walk_keys(Run &run, const KeyLayout &layout, double limit);

// Reads the records of the hits in batches and hands them on in the hits'
// order; a record that does not read ends the search with its result, as it
// ends the order walk.
void list_hits(Run &run, const KeyHits &hits);

// ---- the date scan (date_scan.cc)

// Runs the date scan; when it gives way, the key range (too many matches)
// or the order walk (a failed read) lists instead.
void date_scan(Run &run, const KeyLayout &layout, bool whole_file);

// The memory one match of the date scan holds, for the estimate.
std::size_t date_scan_match_bytes(const KeyLayout &layout);

}  // namespace ledgrove::plan

#endif  // LEDGROVE_APP_SEARCH_PLAN_RUN_H
