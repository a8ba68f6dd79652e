// criteria_form.cc - writing the criteria form.
#include "app/web/criteria_form.h"

#include <utility>
#include <vector>

#include "app/search/date_presets.h"
#include "app/store/field_text.h"
#include "app/web/html.h"

namespace ledgrove::web {
namespace {

using Choices = std::vector<std::pair<std::string_view, std::string_view>>;  // value, caption

class FormWriter {
public:
    explicit FormWriter(const WebQuery &query) : query_(query) {}

    std::string value(std::string_view name) const {
        auto found = query_.given.find(std::string(name));
        return found == query_.given.end() ? std::string() : found->second;
    }

    void text(std::string_view name, std::string_view caption, std::string_view hint,
              std::size_t longest) {
        html_ += "<label>" + escape(caption) + "<input type=\"text\" name=\"" +
                 std::string(name) + "\" value=\"" + escape(value(name)) + "\"";
        if (!hint.empty()) html_ += " placeholder=\"" + escape(hint) + "\"";
        if (longest) html_ += " maxlength=\"" + std::to_string(longest) + "\"";
        html_ += "></label>\n";
    }

    void select(std::string_view name, std::string_view caption, const Choices &choices) {
        const std::string chosen = value(name);
        html_ += "<label>" + escape(caption) + "<select name=\"" + std::string(name) + "\">";
        for (const auto &[choice, shown] : choices)
            html_ += "<option value=\"" + escape(choice) + "\"" +
                     (chosen == choice ? " selected" : "") + ">" + escape(shown) + "</option>";
        html_ += "</select></label>\n";
    }

    void check(std::string_view name, std::string_view caption) {
        const std::string given = value(name);
        const bool on = !given.empty() && given != "0" && given != "false";
        html_ += "<label class=\"check\"><input type=\"checkbox\" name=\"" + std::string(name) +
                 "\" value=\"1\"" + (on ? " checked" : "") + "> " + escape(caption) +
                 "</label>\n";
    }

    void raw(std::string_view html) { html_ += html; }
    std::string take() { return std::move(html_); }

private:
    const WebQuery &query_;
    std::string html_;
};

// Links that fill the date range with a preset, keeping the other criteria.
std::string preset_links(const WebQuery &query, std::string_view action) {
    const CalendarDate today = local_today();
    const int start = query.request.fiscal_start;
    const int fiscal_year = fiscal_year_of(today.year, today.month, start);
    auto link = [&](std::map<std::string, std::string> changes, std::string_view caption) {
        for (const char *cleared : {"from", "to", "fiscal-year", "quarter", "page"})
            changes.emplace(cleared, "");
        return "<a href=\"" + escape(std::string(action) + "?" + query_string(query.given, changes)) +
               "\">" + escape(caption) + "</a>";
    };
    std::string html = "<div class=\"presets\">Dates: ";
    for (DatePreset preset : {DatePreset::ThisMonth, DatePreset::LastMonth,
                              DatePreset::ThisFiscalYear, DatePreset::LastFiscalYear,
                              DatePreset::Last12Months}) {
        const DateSpan span = date_preset_span(preset, today, start);
        html += link({{"from", display_date(span.from)}, {"to", display_date(span.to)}},
                     date_preset_caption(preset)) + " ";
    }
    for (int quarter = 1; quarter <= 4; ++quarter) {
        const std::string name = std::to_string(fiscal_year) + "Q" + std::to_string(quarter);
        html += link({{"quarter", name}}, "Q" + std::to_string(quarter) + " FY" +
                                              std::to_string(fiscal_year)) + " ";
    }
    html += link({}, "All dates") + "</div>\n";
    return html;
}

}  // namespace

std::string criteria_form(const WebQuery &query, std::string_view action, bool summary) {
    FormWriter form(query);
    form.raw("<form class=\"criteria\" method=\"get\" action=\"" + std::string(action) + "\">\n");
    form.raw("<fieldset><legend>Dates</legend>\n");
    form.text("from", "From", "MM/DD/YYYY", 10);
    form.text("to", "To", "MM/DD/YYYY", 10);
    form.text("fiscal-year", "or fiscal year", "2024", 4);
    form.text("quarter", "or fiscal quarter", "2024Q3", 6);
    form.select("fiscal-start", "Fiscal year starts",
                {{"", "July"}, {"1", "January"}, {"2", "February"}, {"3", "March"},
                 {"4", "April"}, {"5", "May"}, {"6", "June"}, {"8", "August"},
                 {"9", "September"}, {"10", "October"}, {"11", "November"}, {"12", "December"}});
    form.raw(preset_links(query, action));
    form.raw("</fieldset>\n<fieldset><legend>Texts (any part of the field)</legend>\n");
    form.text("vendor-name", "Vendor name", "", 35);
    form.text("description", "Description", "", 35);
    form.text("check-id", "Check ID", "", 6);
    form.text("po-number", "PO number", "", 8);
    form.text("vendor-id", "Vendor ID", "", 10);
    form.text("any", "Any of these fields", "", 35);
    form.check("match-case", "Match case");
    form.raw("</fieldset>\n<fieldset><legend>Amount</legend>\n");
    form.select("amount-op", "Amount is", {{"", "equal to (=)"}, {"<", "less than (<)"},
                                           {">", "more than (>)"}});
    form.text("amount", "Amount", "1,234.50", 20);
    form.text("amount-min", "Amount from", "", 20);
    form.text("amount-max", "Amount to", "", 20);
    if (summary) {
        // A summary's order is its grouping's; the search's order plays no part.
        form.raw("</fieldset>\n<fieldset><legend>Summary</legend>\n");
        form.select("by", "Summary by", {{"vendor", "Vendor"}, {"month", "Month"},
                                         {"fiscal-year", "Fiscal year"},
                                         {"description", "Description"}});
        form.select("sort", "Sorted by", {{"", "Total, largest first"}, {"group", "Group"}});
    } else {
        form.raw("</fieldset>\n<fieldset><legend>Listing</legend>\n");
        form.select("order", "Order", {{"", "Date"}, {"vendor-name", "Vendor name"},
                                       {"po-number", "PO number"}, {"description", "Description"},
                                       {"amount", "Amount"}, {"vendor-id", "Vendor ID"},
                                       {"check-id", "Check ID"}});
        form.check("reverse", "Reverse order");
        form.check("subtotals", "Subtotals");
        form.check("by-month", "Subtotal dates by month");
    }
    form.raw("</fieldset>\n<div class=\"actions\"><button type=\"submit\">");
    form.raw(summary ? "Summarize" : "Search");
    form.raw("</button><a href=\"" + std::string(action) + "\">Clear</a></div>\n</form>\n");
    return form.take();
}

}  // namespace ledgrove::web
