// key_range.cc - the key range: the order's keys walked without their
// records, the tests a key answers run on the key, and the records of the
// keys that pass read in record-number order and listed in the keys' order.
#include <algorithm>
#include <array>
#include <cstring>

#include "app/search/index_walk.h"
#include "app/search/plan_run.h"
#include "app/search/record_reader.h"

namespace ledgrove::plan {

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

}  // namespace ledgrove::plan
