// plan_run.cc - the plans' common ground: the reference walk of the
// order's index, and what the register's files allow the other plans.
#include "app/search/plan_run.h"

#include "app/search/index_walk.h"

namespace ledgrove::plan {

void order_walk(Run &run) {
    const std::string_view start_key =
        !run.date_order ? std::string_view() : run.in.reverse ? run.to : run.from;
    walk_index(run.set, index_for(run.order), start_key,
               run.in.reverse ? WalkDirection::Backward : WalkDirection::Forward,
               [&](const CheckRecord &record) { return run.visit(record); });
    run.outcome.end_result = run.set.last_result();
    run.outcome.plan = SearchPlan::OrderWalk;
}

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

}  // namespace ledgrove::plan
