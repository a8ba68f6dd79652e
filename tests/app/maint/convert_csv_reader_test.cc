// The CSV reader of the converter: quoting, line ends, the byte-order mark,
// empty fields, and rows numbered by the line they start on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/maint/convert/csv_reader.h"

namespace {

using namespace ledgrove;
using Fields = std::vector<std::string>;

struct Expected {
    std::size_t line;
    Fields fields;
    bool unclosed = false;
};

std::vector<Expected> read_all(const std::string &text, char delimiter = ',') {
    CsvReader reader(text, delimiter);
    std::vector<Expected> rows;
    CsvRow row;
    while (reader.next(row)) rows.push_back({row.line, row.fields, row.unclosed_quote});
    return rows;
}

void expect_rows(const char *what, const std::vector<Expected> &got,
                 const std::vector<Expected> &want) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].line, want[i].line) << what << ", row " << i;
        EXPECT_EQ(got[i].fields, want[i].fields) << what << ", row " << i;
        EXPECT_EQ(got[i].unclosed, want[i].unclosed) << what << ", row " << i;
    }
}

TEST(ConvertCsvReader, SplitsRowsAndFields) {
    const struct {
        const char *what;
        std::string text;
        std::vector<Expected> rows;
    } cases[] = {
        {"LF line ends", "a,b\nc,d\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"CR LF line ends", "a,b\r\nc,d\r\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"lone CR line ends", "a,b\rc,d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"no break after the last row", "a,b\nc,d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"byte-order mark is not data", "\xEF\xBB\xBFName,Amount\r\n",
         {{1, {"Name", "Amount"}}}},
        {"byte-order mark only at the start", "x,\xEF\xBB\xBF\n", {{1, {"x", "\xEF\xBB\xBF"}}}},
        {"empty fields", ",a,,\n", {{1, {"", "a", "", ""}}}},
        {"empty lines are no rows", "a\n\n\r\nb\n", {{1, {"a"}}, {4, {"b"}}}},
        {"quoted comma", "\"SMITH, JOHN\",5\n", {{1, {"SMITH, JOHN", "5"}}}},
        {"doubled quotes", "\"CUSTOM 86\"\" TV\",\"\"\"\"\n", {{1, {"CUSTOM 86\" TV", "\""}}}},
        {"empty quoted field", "\"\",x\n", {{1, {"", "x"}}}},
        {"quote inside an unquoted field", "12\" PIPE,x\n", {{1, {"12\" PIPE", "x"}}}},
        {"line break inside quotes", "\"two\r\nlines\",x\nnext\n",
         {{1, {"two\r\nlines", "x"}}, {3, {"next"}}}},
        {"text after a closing quote is kept", "\"BERTRAND, FOX\" & CO,x\n",
         {{1, {"BERTRAND, FOX & CO", "x"}}}},
        {"spaces before a quote make it data", "a, \"b\"\n", {{1, {"a", " \"b\""}}}},
        {"unclosed quote runs to the end", "a,\"open\nb,c\n",
         {{1, {"a", "open\nb,c\n"}, true}}},
        {"quote closed at the very end", "a,\"b\"", {{1, {"a", "b"}}}},
        {"trailing delimiter gives an empty field", "DURA EDGE,\n", {{1, {"DURA EDGE", ""}}}},
        {"only a byte-order mark", "\xEF\xBB\xBF", {}},
        {"empty text", "", {}},
    };
    for (const auto &c : cases) expect_rows(c.what, read_all(c.text), c.rows);
}

TEST(ConvertCsvReader, OtherDelimiters) {
    expect_rows("tab", read_all("a,b\t\"c\td\"\n", '\t'), {{1, {"a,b", "c\td"}}});
    expect_rows("semicolon", read_all("1,5;x\n", ';'), {{1, {"1,5", "x"}}});
    EXPECT_FALSE(csv_delimiter_usable('"'));
    EXPECT_FALSE(csv_delimiter_usable('\n'));
    EXPECT_FALSE(csv_delimiter_usable('\r'));
    EXPECT_TRUE(csv_delimiter_usable('|'));
}

}  // namespace
