// record_test.h - the tests of one search, prepared once and run on each
// record (or on an index key that holds the tested field whole), and the
// hold-back that lists the Amount order's negative amounts by value.  Every
// plan of a search (search_plan.h) runs these same tests, so every plan
// accepts the same records.
#ifndef LEDGROVE_APP_SEARCH_RECORD_TEST_H
#define LEDGROVE_APP_SEARCH_RECORD_TEST_H

#include <algorithm>
#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "app/search/record_sink.h"
#include "app/search/search.h"
#include "app/store/amount_text.h"
#include "app/store/code_page.h"
#include "app/store/field_text.h"

namespace ledgrove {

// One match text, ready for the walk: upper-cased once when case does not
// count.
class MatchText {
public:
    MatchText(const std::string &text, bool match_case)
        : text_(match_case ? text : register_upper(text)), fold_(!match_case) {}

    template <std::size_t N>
    bool found_in(const char (&field)[N]) const {
        if (text_.empty()) return true;
        const std::string_view value = field_text(field);
        if (!fold_) return value.find(text_) != std::string_view::npos;
        char upper[N];
        std::transform(value.begin(), value.end(), upper,
                       [](char c) { return register_upper(c); });
        return std::string_view(upper, value.size()).find(text_) != std::string_view::npos;
    }

    bool active() const { return !text_.empty(); }

private:
    std::string text_;
    bool fold_;
};

// An amount text that check_search_inputs passed, in cents.
inline std::int64_t cents_of(const std::string &text) {
    const AmountReading reading = read_amount(text);
    return reading.status == AmountStatus::Ok ? reading.cents : 0;
}

// The search's tests, prepared once per search.
struct RecordTest {
    explicit RecordTest(const SearchInputs &in)
        : name(in.vendor_name, in.match_case),
          description(in.description, in.match_case),
          check_id(in.check_id, in.match_case),
          po_number(in.po_number, in.match_case),
          vendor_id(in.vendor_id, in.match_case),
          any(in.any_text, in.match_case),
          amount_active(!in.amount.empty()),
          op(in.amount_operator),
          has_min(!in.amount_min.empty()),
          has_max(!in.amount_max.empty()),
          min_cents(cents_of(in.amount_min)),
          max_cents(cents_of(in.amount_max)) {
        // Cents over a hundred round exactly as the stored amount's text
        // parses, so "=" finds the amounts typed.
        if (amount_active) {
            wanted_cents = cents_of(in.amount);
            wanted = static_cast<double>(wanted_cents) / 100.0;
        }
    }

    bool amount_passes(const CheckRecord &record) const {
        if (!amount_active) return true;
        const std::string_view text = field_text(record.AMOUNT);
        // An amount in the stored form compares as whole cents: the same
        // answer as its value, without reading a double.
        std::int64_t cents = 0;
        const std::partial_ordering order = stored_form_cents(text, cents)
                                                ? cents <=> wanted_cents
                                                : parse_number(text) <=> wanted;
        switch (op) {
            case '=': return order == 0;
            case '>': return order > 0;
            case '<': return order < 0;
            default: return false;
        }
    }

    // The range compares whole cents, so its ends hold exactly.
    bool range_passes(const CheckRecord &record) const {
        if (!has_min && !has_max) return true;
        const std::int64_t cents = stored_cents(field_text(record.AMOUNT));
        return (!has_min || cents >= min_cents) && (!has_max || cents <= max_cents);
    }

    bool any_passes(const CheckRecord &record) const {
        return any.found_in(record.NAME) || any.found_in(record.DESC) ||
               any.found_in(record.CHKID) || any.found_in(record.POID) ||
               any.found_in(record.VENDORID);
    }

    bool passes(const CheckRecord &record) const {
        return name.found_in(record.NAME) && description.found_in(record.DESC) &&
               check_id.found_in(record.CHKID) && po_number.found_in(record.POID) &&
               vendor_id.found_in(record.VENDORID) && amount_passes(record) &&
               range_passes(record) && any_passes(record);
    }

    // Whether the tests of one field can turn a record down, and whether
    // they pass on that field alone (the rest of the record unread: an
    // index key that holds the field whole, copied into a blank record).
    // The Any field text is left to the whole record.
    bool tests_field(Field field) const {
        switch (field) {
            case Field::NAME: return name.active();
            case Field::DESC: return description.active();
            case Field::CHKID: return check_id.active();
            case Field::POID: return po_number.active();
            case Field::VENDORID: return vendor_id.active();
            case Field::AMOUNT: return amount_active || has_min || has_max;
            default: return false;
        }
    }
    bool field_passes(Field field, const CheckRecord &record) const {
        switch (field) {
            case Field::NAME: return name.found_in(record.NAME);
            case Field::DESC: return description.found_in(record.DESC);
            case Field::CHKID: return check_id.found_in(record.CHKID);
            case Field::POID: return po_number.found_in(record.POID);
            case Field::VENDORID: return vendor_id.found_in(record.VENDORID);
            case Field::AMOUNT: return amount_passes(record) && range_passes(record);
            default: return true;
        }
    }

    MatchText name, description, check_id, po_number, vendor_id, any;
    bool amount_active;
    char op;
    std::int64_t wanted_cents = 0;
    double wanted = 0.0;  // wanted_cents / 100, for amounts not in the stored form
    bool has_min, has_max;
    std::int64_t min_cents, max_cents;
};

// Holds back the accepted records of a run of negative amounts in the
// Amount order and hands them on in value order once the run ends.  The
// stable sort keeps the index's record-id order within one amount.
class NegativeRun {
public:
    // Backwards the run comes last and is listed least negative first.
    NegativeRun(RecordSink &sink, bool active, bool reverse)
        : sink_(sink), active_(active), reverse_(reverse) {}

    void add(const CheckRecord &record) {
        const double amount = parse_number(field_text(record.AMOUNT));
        if (active_ && amount < 0) {
            held_.push_back({amount, record});
            return;
        }
        flush();
        sink_.add(record);
    }

    void flush() {
        std::stable_sort(held_.begin(), held_.end(), [this](const Held &a, const Held &b) {
            return reverse_ ? a.amount > b.amount : a.amount < b.amount;
        });
        for (const Held &h : held_) sink_.add(h.record);
        held_.clear();
    }

private:
    struct Held {
        double amount;
        CheckRecord record;
    };
    RecordSink &sink_;
    bool active_;
    bool reverse_;
    std::vector<Held> held_;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_RECORD_TEST_H
