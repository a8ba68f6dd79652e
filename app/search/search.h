// search.h - the seven searches: one walk of an order's index from a start
// key, testing every record against the date range, the match texts and the
// amount comparison, and handing each accepted record to the result-line
// builder.
//
// The Date order starts at the From date in the date index and stops at the
// first record after the To date; every other order walks its whole index
// and tests both ends of the range.  Dates compare as YYYYMMDD text.  A
// match text passes when it occurs anywhere in its field, spaces counting,
// the field's trailing spaces included; an empty one always passes.  Case
// does not count unless the search asks for it: both sides are compared in
// the register code page's upper case, so "caf\xE9" finds "CAF\xC9".  An
// amount comparison applies only when the Amount text is not empty; its
// operator is '<', '=' or '>' and any other character fails every record.
// The amount range keeps the amounts from its "from" to its "to" amount,
// both included; an empty end leaves that side open.  The Any field text
// passes when it occurs in any of the five text fields (check id, vendor
// id, vendor name, PO number, description), under the same case rule.  All
// the tests must pass together.
//
// The Amount order lists the amounts by value: the amount index keeps its
// stored text, in which negative amounts sort by size without their sign, so
// the run of negative amounts is put in value order (most negative first,
// records of one amount in record-id order) before it is listed.
//
// In reverse every order lists exactly its forward lines backwards, the
// index walked from its last key (in the Date order from the To date back
// to the From date); subtotals close each group as it ends, as forward.
#ifndef LEDGROVE_APP_SEARCH_SEARCH_H
#define LEDGROVE_APP_SEARCH_SEARCH_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "app/search/line_sink.h"
#include "app/search/record_sink.h"
#include "app/store/check_record.h"
#include "app/store/database_set.h"

namespace ledgrove {

// The longest text of each search input; longer input is cut.
namespace search_limits {
inline constexpr std::size_t kMonth = 2, kDay = 2, kYear = 4;
inline constexpr std::size_t kVendorName = 35, kDescription = 35, kCheckId = 6;
// Room for a currency sign, thousands commas and parentheses around the
// stored amount's fifteen characters.
inline constexpr std::size_t kPoNumber = 8, kVendorId = 10, kAmount = 20;
}  // namespace search_limits

struct SearchInputs {
    std::string from, to;  // YYYYMMDD
    std::string vendor_name, description, check_id, po_number, vendor_id;
    std::string amount;    // as typed: "10,000", "$1,234.50", "(12.00)"
    char amount_operator = '=';
    std::string amount_min, amount_max;  // the amount range, as typed; "": open
    std::string any_text;  // occurs in any text field
    bool match_case = false;
    bool reverse = false;   // the order backwards, from its last key
    bool subtotals = false;
    bool dates_by_month = false;  // Date order only
};

// A stored date from the parts of a dialog date: a one-digit month or day
// gets its leading zero ("5" -> "05").
std::string search_date(std::string_view year, std::string_view month, std::string_view day);

// Why a search cannot run: the field at fault and a sentence for the user
// that names it.
struct InputError {
    std::string field;    // "From date", "To date", "Amount", "Amount from", "Amount to"
    std::string message;
};

// Each date must be a real YYYYMMDD (month 01-12, day 01-31), the From date
// not after the To date, and the Amount text and each end of the amount
// range, when given, an amount (amount_text.h) with at most two decimals
// that fits the register; the range's from amount not above its to amount.
std::optional<InputError> check_search_inputs(const SearchInputs &inputs);

// The caption of the message box that tells an InputError.
inline constexpr std::string_view kInputErrorCaption = "Search";

// How a search finds its records.  Every plan lists the same lines, in the
// same order, with the same count and total; they differ only in what they
// read (search_plan.h tells how each works and how Auto chooses).
//   OrderWalk  the walk of the order's index, one record read per key;
//   KeyRange   the order index's keys alone over the range its tests bound,
//              the tests the key answers run on the key, then the records
//              of the keys that pass read in record-number order, in large
//              reads, and listed in the keys' order;
//   DateScan   the records of the date range read in record-number order
//              in large reads, tested, and the matches sorted by the
//              order's key.
enum class SearchPlan { Auto, OrderWalk, KeyRange, DateScan };

// "order walk", "key range", "date scan" ("auto" for Auto).
const char *search_plan_name(SearchPlan plan);

struct SearchResult {
    std::size_t line_count = 0;  // record lines: the checks accepted
    double total = 0.0;          // total_cents / 100
    std::int64_t total_cents = 0;
    std::chrono::milliseconds elapsed{0};
    std::uint32_t end_result = ERR_NONE;  // the engine result that ended the walk
    SearchPlan plan = SearchPlan::OrderWalk;  // the plan that found the records
    std::size_t work_bytes = 0;  // the most memory the plan held at once for its own work

    // The walk ended on an engine error, not at the end of the index or
    // the To date: the lines so far may be incomplete.
    bool stopped_by_error() const;
};

// Searches in one order into a sink.  The records pass through the set's
// shared record buffer; the engine result that ended the search is kept as
// the set's last.  The inputs are taken as they are: check_search_inputs
// first (an Amount text that is no amount compares as 0 here).  `plan`
// forces a plan (a plan that cannot serve the register falls back to the
// order walk); Auto lets the cost estimate choose.
SearchResult search_records(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                            LineSink &sink, SearchPlan plan = SearchPlan::Auto);

// The same search handing on the accepted checks themselves, in the order's
// listing order (subtotals and months play no part).  A sink that wants no
// more (RecordSink::wants_more) ends the walk early.
SearchResult search_checks(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                           RecordSink &sink, SearchPlan plan = SearchPlan::Auto);

// "N seconds": whole seconds, truncated.
std::string elapsed_text(std::chrono::milliseconds elapsed);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_SEARCH_H
