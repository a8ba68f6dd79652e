// page_frame.cc - the document, its style sheet and the message page.
#include "app/web/page_frame.h"

#include "app/web/html.h"

namespace ledgrove::web {
namespace {

// No script anywhere: the pages are forms and links.  The form's boxes
// flow into as many columns as fit; tables of figures right-align them.
constexpr std::string_view kStyle = R"(
*{box-sizing:border-box}
body{font-family:"Liberation Sans",Arial,sans-serif;margin:0;color:#1d2430;background:#f6f7f9}
header{background:#1f3a5f;color:#fff;padding:.6rem 1rem;display:flex;flex-wrap:wrap;gap:.4rem 1.5rem;align-items:baseline}
header h1{font-size:1.25rem;margin:0}
header a{color:#fff}
main{padding:1rem;max-width:90rem;margin:auto}
form.criteria{background:#fff;border:1px solid #d5d9e0;border-radius:6px;padding:.8rem}
fieldset{border:0;margin:0 0 .6rem;padding:0;display:grid;grid-template-columns:repeat(auto-fill,minmax(13rem,1fr));gap:.5rem 1rem}
legend{font-weight:bold;padding:0 0 .3rem}
label{display:block;font-size:.9rem}
label input:not([type=checkbox]),label select{display:block;width:100%;padding:.35rem;font-size:1rem;margin-top:.15rem}
label.check{align-self:end;padding-bottom:.4rem}
.presets{grid-column:1/-1;font-size:.9rem}
.presets a{margin-right:.8rem;white-space:nowrap}
.actions{display:flex;gap:1rem;align-items:center}
button{font-size:1rem;padding:.45rem 1.4rem}
.summary-line{margin:1rem 0 .4rem;font-size:1.05rem}
.summary-line strong{margin-right:1.5rem}
.pager,.downloads{margin:.4rem 0;display:flex;flex-wrap:wrap;gap:.4rem 1.2rem}
table{border-collapse:collapse;width:100%;background:#fff;font-size:.9rem}
th,td{border-bottom:1px solid #e1e4ea;padding:.3rem .5rem;text-align:left;vertical-align:top}
th{background:#e9edf3}
td.num,th.num{text-align:right;white-space:nowrap}
tr.subtotal td{font-weight:bold;background:#f1f4f8;border-bottom:2px solid #9aa5b5}
tr.total td{font-weight:bold;border-top:2px solid #1d2430}
.chart img{max-width:100%;height:auto;background:#fff;border:1px solid #d5d9e0}
.error{background:#fff0f0;border:1px solid #d08080;padding:.8rem;border-radius:6px}
@media (max-width:40rem){
 table.cards thead{display:none}
 table.cards tr{display:block;border-bottom:2px solid #9aa5b5;padding:.3rem 0}
 table.cards td{display:flex;justify-content:space-between;gap:1rem;border:0;padding:.1rem .5rem;text-align:right}
 table.cards td::before{content:attr(data-label);font-weight:bold;text-align:left}
 table.cards tr.subtotal td::before{content:""}
}
)";

}  // namespace

std::string html_page(std::string_view title, std::string_view body) {
    std::string page;
    page.reserve(body.size() + 4096);
    page += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
            "<title>";
    page += escape(title);
    page += "</title><style>";
    page += kStyle;
    page += "</style></head>\n<body><header><h1>Check Register</h1>"
            "<nav><a href=\"/search\">Search checks</a> &middot; "
            "<a href=\"/summary\">Summaries</a></nav></header>\n<main>\n";
    page += body;
    page += "\n</main></body></html>\n";
    return page;
}

std::string message_page(std::string_view heading, std::string_view message) {
    return html_page(heading, "<h2>" + escape(heading) + "</h2>\n<p class=\"error\">" +
                                  escape(message) +
                                  "</p>\n<p><a href=\"/search\">Start a new search</a></p>");
}

std::string refusal_html(std::string_view parameter, std::string_view message) {
    return "<p class=\"error\" id=\"error\" data-parameter=\"" + escape(parameter) +
           "\"><strong>Please correct " + escape(parameter) + ":</strong> " + escape(message) +
           "</p>\n";
}

}  // namespace ledgrove::web
