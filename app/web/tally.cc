// tally.cc - counting a search without listing it.
#include "app/web/tally.h"

namespace ledgrove::web {
namespace {

class Discard : public RecordSink {
public:
    void add(const CheckRecord &) override {}
};

}  // namespace

Tally tally_search(DatabaseSet &set, const SearchInputs &inputs) {
    SearchInputs forward = inputs;
    forward.reverse = false;
    Discard discard;
    const SearchResult walk = search_checks(set, SortOrder::Date, forward, discard);
    return {walk.line_count, walk.total_cents, walk.end_result};
}

std::string tally_key(const SearchInputs &in) {
    // Each text is preceded by its length, so no text can pass for another.
    std::string key;
    for (const std::string *text : {&in.from, &in.to, &in.vendor_name, &in.description,
                                    &in.check_id, &in.po_number, &in.vendor_id, &in.amount,
                                    &in.amount_min, &in.amount_max, &in.any_text})
        key += std::to_string(text->size()) + ":" + *text;
    key.push_back(in.amount_operator);
    key.push_back(in.match_case ? 'C' : 'c');
    return key;
}

}  // namespace ledgrove::web
