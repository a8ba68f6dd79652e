// web_test.cc - ledgrove-cli serve end to end: a real server on the
// loopback over a small register, asked as a browser, a program and an
// attacker would ask it, and checked against ledgrove-cli search itself.
// Each test starts its own server, stops it with SIGINT (it must exit 0)
// and checks that the register's files are byte for byte as before.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
const std::string kCli = LEDGROVE_BINARY_DIR "/bin/ledgrove-cli";

// Standard output of a shell command.
std::string output_of(const std::string &command) {
    std::string out;
    FILE *pipe = ::popen(command.c_str(), "r");
    char buffer[65536];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pipe) ::pclose(pipe);
    return out;
}

std::string quote(const std::string &text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string percent_encoded(const std::string &bytes) {
    std::string out;
    char hex[4];
    for (unsigned char c : bytes) {
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += hex;
    }
    return out;
}

std::string file_bytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A register line as the import reads it (app/output/csv_line.h).
std::string register_line(const std::string &id, const std::string &date, const std::string &vendor,
                          const std::string &name, const std::string &description,
                          const std::string &amount) {
    auto pad = [](std::string text, std::size_t width) { return text.append(width - text.size(), ' '); };
    return pad(id, 6) + "," + date + "," + pad(vendor, 10) + "," + pad(name, 35) + "," +
           pad("", 8) + "," + pad(description, 35) + "," + amount + "\r\n";
}

// The register the tests share: 3,000 demo checks and a few whose names
// would break a page that did not escape them (one in code page 1252).
const std::string &register_dir() {
    static kvl_test::TempDir dir;
    static const bool made = [] {
        const std::string c = kCli + " -C " + quote(dir.root()) + " ";
        output_of(c + "empty && " + c + "demo 3000 demo.csv");
        std::ofstream extra(dir.root() + "/extra.csv", std::ios::binary);
        extra << register_line("900001", "03/04/2015", "X1", "<script>alert(1)</script>",
                               "TOOLS & PARTS", "12.34")
              << register_line("900002", "03/05/2015", "X2", "SMITH & SONS \"Q\"", "<b>BOLD</b>",
                               "56.78")
              << register_line("900003", "03/06/2015", "X3", "CAF\xC9 ROYAL", "COFFEE", "9.00");
        extra.close();
        output_of(c + "import demo.csv && " + c + "import extra.csv");
        return true;
    }();
    (void)made;
    return dir.root();
}

std::map<std::string, std::string> register_files() {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(register_dir()))
        if (entry.path().extension() != ".csv") files[entry.path().string()] = file_bytes(entry.path());
    return files;
}

// `ledgrove-cli search` with the criteria given as its options.
std::string cli_search(const std::string &options) {
    return output_of(kCli + " -C " + quote(register_dir()) + " search " + options);
}

// The rows of a JSON table, one object a line, as the writer lays them out.
std::vector<std::string> json_row_lines(const std::string &json) {
    std::vector<std::string> rows;
    std::istringstream lines(json);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find("{\"check_id\"");
        if (start == std::string::npos) continue;
        std::string row = line.substr(start, line.find('}', start) - start + 1);
        rows.push_back(row);
    }
    return rows;
}

std::string json_value(const std::string &json, const std::string &name) {
    std::smatch m;
    std::regex_search(json, m, std::regex("\"" + name + "\":(\"[^\"]*\"|[-0-9.]+)"));
    return m.empty() ? std::string() : m[1].str();
}

std::string html_text(std::string html) {
    for (auto [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                             {"&#39;", "'"}, {"&amp;", "&"}}) {
        for (std::size_t at; (at = html.find(entity)) != std::string::npos;)
            html.replace(at, std::string(entity).size(), c);
    }
    return html;
}

std::string trimmed(const std::string &text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// One request's bytes over a fresh connection, and what comes back until
// the server closes it (or 10 s pass).  `half_close`: the client says it
// has sent all, as a garbage sender may; the library answers nothing then,
// so HTTP requests are sent whole with "Connection: close" instead.
std::string exchange(int port, const std::string &request, bool half_close) {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval wait{10, 0};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (::connect(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        ::send(sock, request.data(), request.size(), MSG_NOSIGNAL);
        if (half_close) ::shutdown(sock, SHUT_WR);
        char buffer[65536];
        for (ssize_t n; (n = ::recv(sock, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
    }
    ::close(sock);
    return answer;
}

class WebTest : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = register_files();
        // The request log goes to a file: a pipe nobody drains would fill
        // and hold the server up.
        log_path_ = log_dir_.root() + "/serve.log";
        pid_ = ::fork();
        if (pid_ == 0) {
            std::freopen(log_path_.c_str(), "w", stdout);
            ::execl(kCli.c_str(), kCli.c_str(), "-C", register_dir().c_str(), "serve", "--port",
                    "0", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        std::smatch m;
        for (int tries = 0; tries < 300 && m.empty(); ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const std::string log = file_bytes(log_path_);
            std::regex_search(log, m, std::regex("http://127\\.0\\.0\\.1:([0-9]+)/"));
            if (!m.empty()) port_ = std::stoi(m[1].str());
        }
        ASSERT_GT(port_, 0) << "the server did not say where it listens";
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
        client_->set_read_timeout(60, 0);
    }

    void TearDown() override {
        client_.reset();
        if (pid_ > 0) {
            ::kill(pid_, SIGINT);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "the server did not stop cleanly on SIGINT";
        }
        EXPECT_TRUE(register_files() == before_) << "a register file changed";
    }

    httplib::Result get(const std::string &target) { return client_->Get(target.c_str()); }

    std::string body(const std::string &target, int status = 200) {
        httplib::Result result = get(target);
        EXPECT_TRUE(result) << target;
        if (!result) return {};
        EXPECT_EQ(result->status, status) << target << "\n" << result->body.substr(0, 500);
        return result->body;
    }

    int port_ = 0;

private:
    pid_t pid_ = -1;
    kvl_test::TempDir log_dir_;
    std::string log_path_;
    std::unique_ptr<httplib::Client> client_;
    std::map<std::string, std::string> before_;
};

// The same criteria as a URL and as ledgrove-cli options.
struct Criteria {
    std::string query, options;
};
const Criteria kCriteria[] = {
    {"", ""},
    {"from=03/01/2015&to=06/30/2015&order=vendor-name&subtotals=1",
     "--from 03/01/2015 --to 06/30/2015 --order vendor-name --subtotals"},
    {"order=amount&reverse=1&amount-min=-500&amount-max=100000&subtotals=1",
     "--order amount --reverse --amount-min -500 --amount-max 100000 --subtotals"},
    {"any=acme&order=vendor-id", "--any acme --order vendor-id"},
    {"fiscal-year=2015&subtotals=1&by-month=1", "--fiscal-year 2015 --subtotals --by-month"},
    {"amount-op=%3E&amount=%2410%2C000&order=check-id&match-case=1&vendor-name=INC",
     "--amount-op '>' --amount '$10,000' --order check-id --match-case --vendor-name INC"},
    {"vendor-name=caf%C3%A9", "--vendor-name caf\xC3\xA9"},
};

TEST_F(WebTest, PagesListWhatTheCommandLineListsEachLineOnce) {
    for (const Criteria &c : kCriteria) {
        SCOPED_TRACE(c.query);
        const std::vector<std::string> expected = json_row_lines(cli_search("--format json " + c.options));
        const std::string lines = cli_search(c.options);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(lines, m, std::regex("Records: ([0-9]+)\nTotal Amount: ([-0-9,.]+)")));
        const std::string count = m[1], total = std::regex_replace(m[2].str(), std::regex(","), "");
        std::vector<std::string> subtotals;
        std::istringstream listed(lines);
        for (std::string line; std::getline(listed, line);)
            if (line.find("Subtotal for") != std::string::npos)
                subtotals.push_back(trimmed(line.substr(0, line.find_last_of(' '))) + "|" +
                                    line.substr(line.find_last_of(' ') + 1));

        std::vector<std::string> rows, page_subtotals;
        std::size_t pages = 1;
        for (std::size_t page = 1; page <= pages; ++page) {
            const std::string at = "page=" + std::to_string(page) + "&" + c.query;
            const std::string api = body("/api/search?" + at);
            EXPECT_EQ(json_value(api, "count"), count);
            EXPECT_NEAR(std::stod(json_value(api, "total")), std::stod(total), 0.005);
            pages = std::stoul(json_value(api, "pages"));
            for (const std::string &row : json_row_lines(api)) rows.push_back(row);

            const std::string html = body("/search?" + at);
            EXPECT_NE(html.find("<span id=\"count\">" +
                                std::regex_replace(count, std::regex("(\\d)(?=(\\d{3})+$)"), "$1,")),
                      std::string::npos);
            const std::regex subtotal("<tr class=\"subtotal\"><td colspan=\"6\">([^<]*)</td><td class=\"num\">([^<]*)</td>");
            for (std::sregex_iterator s(html.begin(), html.end(), subtotal), end; s != end; ++s)
                page_subtotals.push_back(html_text((*s)[1]) + "|" + (*s)[2].str());
        }
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(page_subtotals, subtotals);
    }
}

TEST_F(WebTest, DownloadsHoldTheWholeResult) {
    const std::string criteria = "from=01/01/2012&to=12/31/2016&order=vendor-name&any=INC";
    const std::string api = body("/api/search?" + criteria);
    for (const char *kind : {"csv", "xlsx"}) {
        SCOPED_TRACE(kind);
        httplib::Result result = get(std::string("/search.") + kind + "?" + criteria);
        ASSERT_TRUE(result);
        ASSERT_EQ(result->status, 200);
        EXPECT_NE(result->get_header_value("Content-Disposition").find("attachment"), std::string::npos);
        kvl_test::TempDir scratch;
        const std::string path = scratch.root() + "/download." + kind;
        std::ofstream(path, std::ios::binary) << result->body;
        const std::string read = output_of(
            "/usr/bin/python3 -c " +
            quote("import sys, csv, openpyxl\n"
                  "p = sys.argv[1]\n"
                  "if p.endswith('.csv'):\n"
                  "    rows = list(csv.DictReader(open(p, newline='', encoding='utf-8')))\n"
                  "    amounts = [float(r['Amount']) for r in rows]\n"
                  "else:\n"
                  "    sheet = openpyxl.load_workbook(p).active\n"
                  "    values = list(sheet.iter_rows(min_row=2, values_only=True))\n"
                  "    amounts = [r[6] for r in values if r[0] != 'Total']\n"
                  "print(len(amounts), '%.2f' % sum(amounts))\n") +
            " " + quote(path));
        EXPECT_EQ(read, json_value(api, "count") + " " + json_value(api, "total") + "\n");
    }
}

TEST_F(WebTest, BadParametersAreRefusedByName) {
    const std::string too_long(300, 'A');
    const std::pair<std::string, std::string> kBad[] = {
        {"from=13/45/2019", "from"},         {"to=yesterday", "to"},
        {"from=02/01/2019&to=01/01/2019", "from"},
        {"order=sideways", "order"},         {"amount=12.345", "amount"},
        {"amount=twelve", "amount"},         {"amount=1e400", "amount"},
        {"amount-min=5&amount-max=1", "amount-min"},
        {"amount-max=%24%24", "amount-max"}, {"amount-op=!", "amount-op"},
        {"fiscal-year=19", "fiscal-year"},   {"quarter=2019Q5", "quarter"},
        {"fiscal-start=13", "fiscal-start"}, {"fiscal-year=2019&from=01/01/2019", "dates"},
        {"page=0", "page"},                  {"page=99999999", "page"},
        {"match-case=maybe", "match-case"},  {"subtotals=2", "subtotals"},
        {"by=vendor", "by"},                 {"nosuch=1", "nosuch"},
        {"vendor-name=" + too_long, "vendor-name"},
    };
    for (const auto &[query, parameter] : kBad) {
        SCOPED_TRACE(query);
        EXPECT_EQ(json_value(body("/api/search?" + query, 400), "parameter"), "\"" + parameter + "\"");
        EXPECT_NE(body("/search?" + query, 400).find("data-parameter=\"" + parameter + "\""),
                  std::string::npos);
    }
    for (const std::string query : {"by=planet", "sort=size"}) {
        SCOPED_TRACE(query);
        EXPECT_NE(body("/summary?" + query, 400).find("data-parameter=\"" + query.substr(0, query.find('=')) + "\""),
                  std::string::npos);
    }
}

TEST_F(WebTest, RegisterTextIsShownAsTextNeverAsMarkup) {
    for (const std::string target : {"/search?from=03/01/2015&to=03/31/2015&order=vendor-name",
                                     "/summary?from=03/01/2015&to=03/31/2015",
                                     "/search?vendor-name=%3Cscript%3E&description=%22%3E%3Cb%3E"}) {
        SCOPED_TRACE(target);
        const std::string html = body(target);
        EXPECT_EQ(html.find("<script"), std::string::npos);
        EXPECT_EQ(html.find("<b>"), std::string::npos);
        EXPECT_NE(html.find("&lt;script&gt;"), std::string::npos);
    }
    const std::string march = body("/search?from=03/01/2015&to=03/31/2015");
    EXPECT_NE(march.find("SMITH &amp; SONS &quot;Q&quot;"), std::string::npos);
    EXPECT_NE(march.find("TOOLS &amp; PARTS"), std::string::npos);
    EXPECT_NE(march.find("CAF\xC3\x89 ROYAL"), std::string::npos);
}

TEST_F(WebTest, SummaryAgreesWithTheCommandLineAndLinksToEachVendor) {
    const std::string printed =
        output_of(kCli + " -C " + quote(register_dir()) + " summary --by vendor --fiscal-year 2015");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(printed, m, std::regex("Groups: ([0-9]+)\nRecords: ([0-9]+)")));
    const std::string api = body("/api/summary?by=vendor&fiscal-year=2015");
    EXPECT_EQ(json_value(api, "groups"), m[1].str());
    EXPECT_EQ(json_value(api, "count"), m[2].str());

    const std::string html = body("/summary?by=vendor&fiscal-year=2015");
    EXPECT_NE(html.find("<img alt=\"Chart of the totals by Vendor\" src=\"data:image/svg+xml;base64,"),
              std::string::npos);
    const std::regex link("<a href=\"(/search\\?[^\"]*)\">[^<]*</a></td><td class=\"num\" data-label=\"Checks\">([0-9,]+)<");
    std::size_t linked = 0;
    for (std::sregex_iterator row(html.begin(), html.end(), link), end; row != end && linked < 5; ++row, ++linked) {
        const std::string checks = std::regex_replace((*row)[2].str(), std::regex(","), "");
        EXPECT_EQ(json_value(body("/api/search?" + html_text((*row)[1]).substr(8)), "count"), checks);
    }
    EXPECT_EQ(linked, 5u);
}

TEST_F(WebTest, HostileRequestsNeverStopTheServer) {
    std::mt19937 random(20240601);
    auto noise = [&](std::size_t size) {
        std::string text(size, ' ');
        for (char &c : text) c = static_cast<char>(random() % 256);
        return text;
    };
    const std::string end = "Host: x\r\nConnection: close\r\n\r\n";
    std::string headers;
    for (int i = 0; i < 2000; ++i) headers += "X-" + std::to_string(i) + ": y\r\n";
    // Each request and the status it must get ("" for any but a 5xx).
    std::vector<std::pair<std::string, std::string>> requests = {
        {"GET /search?" + std::string(100000, 'a') + " HTTP/1.1\r\n" + end, "414"},
        {"GET /search HTTP/1.1\r\nX-Big: " + std::string(100000, 'b') + "\r\n" + end, "400"},
        {"GET /search HTTP/1.1\r\n" + headers + end, "200"},
        {"POST /search HTTP/1.1\r\nContent-Length: 100000000\r\n" + end + "abc", "413"},
        {"GET /search?from=01/01/2015&from=%ZZ%&to=%00%ff HTTP/1.1\r\n" + end, "400"},
        {"GET /search?page=" + std::string(5000, '9') + " HTTP/1.1\r\n" + end, "400"},
        {"GET /search?vendor-name=" + std::string(5000, 'v') + " HTTP/1.1\r\n" + end, "400"},
        {"GET /api/search?page=999999 HTTP/1.1\r\n" + end, "200"},
        {"GET /search HTTP/1.1\r\nContent-Length: -5\r\n" + end, ""},
        {"GET /search HTTP/1.1\r\nTransfer-Encoding: chunked\r\n" + end + "zz\r\n", ""},
        {"GET /search.csv?from=01/01/2015&to=01/31/2015 HTTP/1.1\r\nRange: bytes=9-1,-\r\n" + end, ""},
        {"GET /../../etc/passwd HTTP/1.1\r\n" + end, "404"},
    };
    const char *paths[] = {"/search?", "/summary?", "/api/search?", "/api/summary?", "/search.csv?"};
    const std::string names[] = {"from", "to", "order", "amount", "amount-min", "any", "page", "by", "quarter"};
    for (int i = 0; i < 300; ++i) {
        std::string query;
        for (int n = random() % 5; n >= 0; --n)
            query += names[random() % 9] + "=" + percent_encoded(noise(random() % 40)) + "&";
        requests.push_back({"GET " + std::string(paths[random() % 5]) + query + " HTTP/1.1\r\n" + end,
                            "(200|400)"});
    }
    for (const auto &[request, status] : requests) {
        const std::string answer = exchange(port_, request, false);
        EXPECT_TRUE(std::regex_search(answer, std::regex("^HTTP/1\\.1 " + (status.empty() ? "[234]\\d\\d" : status) + " ")))
            << request.substr(0, 200) << "\n=> " << answer.substr(0, 100);
    }
    for (int i = 0; i < 40; ++i) {  // not HTTP at all
        const std::string answer = exchange(port_, noise(random() % 3000), true);
        EXPECT_EQ(answer.find("HTTP/1.1 5"), std::string::npos);
    }
    const std::string api = body("/api/search?from=03/01/2015&to=03/31/2015");
    EXPECT_EQ(json_value(api, "count"),
              std::regex_replace(cli_search("--from 03/01/2015 --to 03/31/2015 --format json | grep -c check_id"),
                                 std::regex("\n"), ""));
}

TEST_F(WebTest, ConcurrentSearchesEachGetTheirOwnResult) {
    std::vector<std::string> queries;
    for (int year = 2006; year <= 2020; ++year)
        for (const char *order : {"date", "vendor-name", "amount"})
            queries.push_back("/api/search?order=" + std::string(order) + "&from=01/01/" +
                              std::to_string(year) + "&to=12/31/" + std::to_string(year));
    std::map<std::string, std::string> alone;
    for (const std::string &q : queries) alone[q] = body(q);
    std::vector<std::thread> clients;
    std::vector<int> mismatches(8, 0);
    for (int t = 0; t < 8; ++t)
        clients.emplace_back([&, t] {
            httplib::Client client("127.0.0.1", port_);
            for (int round = 0; round < 3; ++round)
                for (std::size_t i = t; i < queries.size(); i += 2) {
                    httplib::Result result = client.Get(queries[(i + round) % queries.size()].c_str());
                    mismatches[t] += !result || result->body != alone[queries[(i + round) % queries.size()]];
                }
        });
    for (std::thread &client : clients) client.join();
    EXPECT_EQ(std::accumulate(mismatches.begin(), mismatches.end(), 0), 0);
}

TEST_F(WebTest, ABrowserSubmitsTheFormAndShowsTheResult) {
    const char *chromium = nullptr;
    for (const char *candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (::access(candidate, X_OK) == 0) chromium = candidate;
    if (!chromium) GTEST_SKIP() << "chromium is not installed (scripts/deps installs it)";
    const std::string dom = output_of(
        "/usr/bin/python3 " LEDGROVE_SOURCE_DIR "/tests/web/browser_submit.py " +
        std::string(chromium) + " http://127.0.0.1:" + std::to_string(port_) +
        "/search vendor-name=acme order=vendor-name from=01/01/2015 to=12/31/2015 subtotals=1");
    ASSERT_NE(dom.find("<table class=\"cards checks\">"), std::string::npos) << dom.substr(0, 400);
    const std::string api = body("/api/search?vendor-name=acme&order=vendor-name&from=01/01/2015&to=12/31/2015");
    EXPECT_NE(dom.find("<span id=\"count\">" + json_value(api, "count") + "</span>"), std::string::npos);
    const std::size_t shown = json_row_lines(api).size();
    const std::regex check_row("<tr><td data-label=\"Check ID\">");
    EXPECT_EQ(static_cast<std::size_t>(std::distance(
                  std::sregex_iterator(dom.begin(), dom.end(), check_row), std::sregex_iterator())),
              shown);
    EXPECT_NE(dom.find("class=\"subtotal\""), std::string::npos);
}

}  // namespace
