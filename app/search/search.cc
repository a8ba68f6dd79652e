// search.cc - the index walk shared by the seven searches.
#include "app/search/search.h"

#include <array>

#include "app/search/result_lines.h"
#include "app/store/field_text.h"
#include "app/store/register_files.h"
#include "app/ui/control_ids.h"

namespace ledgrove {
namespace {

// Room for the longest key of any index the engine can build.
constexpr std::size_t kKeyBufferSize = KVL_MAX_KEY_LENGTH;

// Expected results of a search's reads, reserved up front so that filling
// the list seldom has to grow it.
constexpr std::size_t kReservedLines = 75000;
constexpr std::size_t kReservedBytes = 12884000;

std::string read_cut(const SearchPort &port, int id, std::size_t longest) {
    std::string text = port.control_text(id);
    if (text.size() > longest) text.resize(longest);
    return text;
}

template <std::size_t N>
bool contains(const char (&field)[N], const std::string &text) {
    return text.empty() || field_text(field).find(text) != std::string_view::npos;
}

// The search's amount test; the Amount text is read once per search.
struct AmountTest {
    explicit AmountTest(const SearchInputs &in)
        : active(!in.amount.empty()), op(in.amount_operator), wanted(parse_number(in.amount)) {}
    bool active;
    char op;
    double wanted;
};

bool amount_passes(const CheckRecord &record, const AmountTest &test) {
    if (!test.active) return true;
    const double value = parse_number(field_text(record.AMOUNT));
    const double wanted = test.wanted;
    switch (test.op) {
        case '=': return value == wanted;
        case '>': return value > wanted;
        case '<': return value < wanted;
        default: return false;
    }
}

bool matches(const CheckRecord &record, const SearchInputs &in, const AmountTest &amount) {
    return contains(record.NAME, in.vendor_name) && contains(record.DESC, in.description) &&
           contains(record.CHKID, in.check_id) && contains(record.POID, in.po_number) &&
           contains(record.VENDORID, in.vendor_id) && amount_passes(record, amount);
}

}  // namespace

SearchInputs read_search_inputs(const SearchPort &port) {
    using namespace control;
    namespace limit = search_limits;
    SearchInputs in;
    in.from = read_cut(port, kFromYear, limit::kYear) + read_cut(port, kFromMonth, limit::kMonth) +
              read_cut(port, kFromDay, limit::kDay);
    in.to = read_cut(port, kToYear, limit::kYear) + read_cut(port, kToMonth, limit::kMonth) +
            read_cut(port, kToDay, limit::kDay);
    in.vendor_name = read_cut(port, kVendorNameText, limit::kVendorName);
    in.description = read_cut(port, kDescriptionText, limit::kDescription);
    in.check_id = read_cut(port, kCheckIdText, limit::kCheckId);
    in.po_number = read_cut(port, kPoNumberText, limit::kPoNumber);
    in.vendor_id = read_cut(port, kVendorIdText, limit::kVendorId);
    in.amount = read_cut(port, kAmountText, limit::kAmount);
    const std::string op = port.control_text(kAmountOperator);
    in.amount_operator = op.empty() ? '=' : op[0];
    in.subtotals = port.is_checked(kSubtotals);
    in.dates_by_month = port.is_checked(kSubtotalByMonth);
    return in;
}

bool is_end_of_walk(std::uint32_t result) {
    return result == ERR_END_OF_INDEX || result == ERR_EMPTY_INDEX ||
           result == ERR_KEY_NOT_FOUND;
}

bool SearchOutcome::stopped_by_error() const {
    return end_result != ERR_NONE && !is_end_of_walk(end_result);
}

SearchOutcome search_records(DatabaseSet &set, SortOrder order, const SearchInputs &in,
                             LineSink &sink) {
    const auto start = std::chrono::steady_clock::now();
    const bool date_order = order == SortOrder::Date;
    ResultBuilder builder(sink, {order, in.subtotals, date_order && in.dates_by_month});

    std::array<char, kKeyBufferSize> key{};
    if (date_order) in.from.copy(key.data(), key.size());
    std::uint32_t record_number = 0;
    CheckRecord &record = set.record();
    const RegisterIndex which = index_for(order);
    const AmountTest amount(in);

    if (!set.index_open(which) || !set.data_open())
        set.note(ERR_FILE_NOT_OPEN);
    else
        set.note(KvlIx4GetEqualOrGreater(set.index(which), key.data(), &record_number, &record));
    while (set.last_result() == ERR_NONE) {
        const std::string_view date = field_text(record.CHKDATE);
        if (date > std::string_view(in.to)) {
            if (date_order) break;
        } else if ((date_order || date >= std::string_view(in.from)) && matches(record, in, amount)) {
            builder.add(record);
        }
        set.note(KvlIx4GetNext(set.index(which), key.data(), &record_number, &record));
    }
    builder.close();

    SearchOutcome outcome;
    outcome.line_count = builder.line_count();
    outcome.total = builder.total();
    outcome.end_result = set.last_result();
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return outcome;
}

SearchOutcome run_search(DatabaseSet &set, SearchPort &port, SortOrder order) {
    port.set_control_text(control::kSortCaption, sort_order_caption(order));
    const auto start = std::chrono::steady_clock::now();
    const SearchInputs inputs = read_search_inputs(port);
    ResultList &list = port.begin_results();
    list.clear();
    list.reserve(kReservedLines, kReservedBytes);
    SearchOutcome outcome = search_records(set, order, inputs, list);
    port.end_results();
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    port.set_control_text(control::kRecordCount, std::to_string(outcome.line_count));
    port.set_control_text(control::kElapsed, elapsed_text(outcome.elapsed));
    port.set_control_text(control::kTotalAmount, total_text(outcome.total));
    return outcome;
}

std::string elapsed_text(std::chrono::milliseconds elapsed) {
    return std::to_string(elapsed.count() / 1000) + " seconds";
}

}  // namespace ledgrove
