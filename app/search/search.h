// search.h - the seven searches: one walk of an order's index from a start
// key, testing every record against the date range, the match texts and the
// amount comparison, and handing each accepted record to the result-line
// builder.
//
// The Date order starts at the From date in the date index and stops at the
// first record after the To date; every other order walks its whole index
// and tests both ends of the range.  Dates compare as text, character by
// character, exactly as typed (a two-digit year makes a shorter date that
// compares as such).  A match text passes when it occurs anywhere in its
// field, case and spaces counting, the field's trailing spaces included; an
// empty one always passes.  An amount comparison applies only when the
// Amount text is not empty; its operator is '<', '=' or '>' and any other
// character fails every record.
#ifndef LEDGROVE_APP_SEARCH_SEARCH_H
#define LEDGROVE_APP_SEARCH_SEARCH_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/search/line_sink.h"
#include "app/search/search_port.h"
#include "app/store/check_record.h"
#include "app/store/database_set.h"

namespace ledgrove {

// The longest text of each search input; longer input is cut.
namespace search_limits {
inline constexpr std::size_t kMonth = 2, kDay = 2, kYear = 4;
inline constexpr std::size_t kVendorName = 35, kDescription = 35, kCheckId = 6;
inline constexpr std::size_t kPoNumber = 8, kVendorId = 10, kAmount = 15;
}  // namespace search_limits

struct SearchInputs {
    std::string from, to;  // YYYYMMDD: year, month and day texts as typed
    std::string vendor_name, description, check_id, po_number, vendor_id, amount;
    char amount_operator = '=';
    bool subtotals = false;
    bool dates_by_month = false;  // Date order only
};

// Reads the inputs of a search from the dialog's controls: texts cut to
// their longest, the operator's first character ('=' when no item is
// selected), the two check boxes.
SearchInputs read_search_inputs(const SearchPort &port);

struct SearchOutcome {
    std::size_t line_count = 0;  // record lines
    double total = 0.0;
    std::chrono::milliseconds elapsed{0};
    std::uint32_t end_result = ERR_NONE;  // the engine result that ended the walk

    // The walk ended on an engine error, not at the end of the index or
    // the To date: the lines so far may be incomplete.
    bool stopped_by_error() const;
};

// Whether an engine result is an ordinary end of an index walk.
bool is_end_of_walk(std::uint32_t result);

// Searches in one order into a sink.  The records pass through the set's
// shared record buffer; every engine result is kept as the set's last.
SearchOutcome search_records(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                             LineSink &sink);

// One search as the dialog runs it: the order's caption into 1043, the
// inputs read, the result list 1021 emptied and filled, then the line count
// into 1004, the elapsed time into 1031 and the total into 1018.
SearchOutcome run_search(DatabaseSet &set, SearchPort &port, SortOrder order);

// "N seconds": whole seconds, truncated.
std::string elapsed_text(std::chrono::milliseconds elapsed);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_SEARCH_H
