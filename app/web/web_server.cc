// web_server.cc - the site on cpp-httplib: routes, limits, headers and the
// request log.
#include "app/web/web_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "app/chart/chart_file.h"
#include "app/web/chart_queue.h"
#include "app/web/page_frame.h"
#include "app/web/site.h"
#include "app/web/web_limits.h"

namespace ledgrove::web {
namespace {

// The library's fixed bounds, as web_limits.h tells them.
static_assert(kRequestLineBytes == CPPHTTPLIB_REQUEST_URI_MAX_LENGTH);
static_assert(kHeaderLineBytes == CPPHTTPLIB_HEADER_MAX_LENGTH);

// Whoever follows a link or a redirect gets the page, nothing runs from
// elsewhere, and the pages are never framed.  The charts are images inside
// the page (data: URLs); the style sheet is in the page.
void add_safety_headers(httplib::Response &res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; style-src 'unsafe-inline'; img-src data:; "
                   "form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
}

// A request line as the log shows it: cut, with its control characters
// (which a URL may carry %-escaped) shown as '?', so one request is one
// line whatever it holds.
std::string loggable(std::string_view text) {
    constexpr std::size_t kShown = 400;
    std::string out;
    for (char c : text.substr(0, kShown))
        out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    if (text.size() > kShown) out += "...";
    return out;
}

// When the request on this worker began: set before routing, read and
// cleared by the logger after the reply.  A request the library refused
// before routing (a 414, a header too long) has none.
thread_local std::optional<std::chrono::steady_clock::time_point> request_start;

// The download's writer output: each write goes to the client, and a
// client that has gone ends the search by an exception.
struct ClientGone {};
class SinkOutput : public TextOutput {
public:
    explicit SinkOutput(httplib::DataSink &sink) : sink_(sink) { buffer_.reserve(kChunk); }
    void write(std::string_view text) override {
        buffer_ += text;
        if (buffer_.size() >= kChunk) flush();
    }
    void flush() {
        if (!buffer_.empty() && !sink_.write(buffer_.data(), buffer_.size())) throw ClientGone{};
        buffer_.clear();
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    httplib::DataSink &sink_;
    std::string buffer_;
};

void send(const Reply &reply, httplib::Response &res) {
    res.status = reply.status;
    add_safety_headers(res);
    if (!reply.location.empty()) res.set_header("Location", reply.location);
    if (!reply.download_name.empty())
        res.set_header("Content-Disposition",
                       "attachment; filename=\"" + reply.download_name + "\"");
    if (reply.stream) {
        auto stream = reply.stream;
        res.set_chunked_content_provider(reply.content_type,
                                         [stream](std::size_t, httplib::DataSink &sink) {
                                             SinkOutput out(sink);
                                             try {
                                                 stream(out);
                                                 out.flush();
                                             } catch (const ClientGone &) {
                                                 return false;
                                             }
                                             sink.done();
                                             return true;
                                         });
        return;
    }
    if (reply.file) {
        auto file = reply.file;
        res.set_content_provider(
            reply.file_size, reply.content_type,
            [file](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
                char buffer[64 * 1024];
                std::fseek(file.get(), static_cast<long>(offset), SEEK_SET);
                const std::size_t got =
                    std::fread(buffer, 1, std::min(length, sizeof buffer), file.get());
                return got > 0 && sink.write(buffer, got);
            });
        return;
    }
    res.set_content(reply.body, reply.content_type.c_str());
}

}  // namespace

struct WebServer::Parts {
    explicit Parts(ServeOptions o)
        : options(std::move(o)),
          charts([](const Summary &summary) {
              return summary_chart_svg(summary, kChartWidth, kChartHeight);
          }),
          site(options.directory, charts) {}

    ServeOptions options;
    ChartQueue charts;
    Site site;
    httplib::Server server;
    int port = 0;
};

WebServer::WebServer(ServeOptions options) : parts_(std::make_unique<Parts>(std::move(options))) {
    httplib::Server &server = parts_->server;
    Site &site = parts_->site;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_read_timeout(kReadTimeoutSeconds, 0);
    server.set_write_timeout(kWriteTimeoutSeconds, 0);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    server.set_keep_alive_max_count(kKeepAliveRequests);
    server.set_payload_max_length(kBodyBytes);

    server.set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
        request_start = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Every path is the site's to answer; only GET (and HEAD) are served.
    server.Get(".*", [&site](const httplib::Request &req, httplib::Response &res) {
        QueryPairs pairs(req.params.begin(), req.params.end());
        send(site.answer(req.path, pairs), res);
    });
    server.set_exception_handler(
        [](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
            res.status = 500;
            add_safety_headers(res);
            res.set_content(message_page("The server failed",
                                         "The request could not be answered; please try again."),
                            "text/html; charset=utf-8");
        });
    // The library's own refusals (414, 413, 404 of other methods) get a page too.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        add_safety_headers(res);
        res.set_content(message_page("Request refused",
                                     "The server cannot answer this request (HTTP " +
                                         std::to_string(res.status) + ")."),
                        "text/html; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    }));
    if (parts_->options.log) {
        auto log = parts_->options.log;
        server.set_logger([log](const httplib::Request &req, const httplib::Response &res) {
            char timing[32] = "- ms";
            if (request_start) {
                const auto took = std::chrono::steady_clock::now() - *request_start;
                std::snprintf(timing, sizeof timing, "%.1f ms",
                              std::chrono::duration<double, std::milli>(took).count());
                request_start.reset();
            }
            auto shown = [](const std::string &text) { return text.empty() ? std::string("-") : loggable(text); };
            log(shown(req.remote_addr) + " " + shown(req.method) + " " + shown(req.target) + " " +
                std::to_string(res.status) + " " +
                (res.body.empty() ? std::string("-") : std::to_string(res.body.size())) + " " +
                timing);
        });
    }
}

WebServer::~WebServer() = default;

std::optional<std::string> WebServer::bind() {
    const ServeOptions &o = parts_->options;
    if (o.port == 0) {
        parts_->port = parts_->server.bind_to_any_port(o.bind);
        if (parts_->port > 0) return std::nullopt;
    } else if (parts_->server.bind_to_port(o.bind, o.port)) {
        parts_->port = o.port;
        return std::nullopt;
    }
    return "cannot listen on " + o.bind + " port " + std::to_string(o.port) +
           " (is the address this machine's, and the port free?)";
}

int WebServer::port() const { return parts_->port; }

void WebServer::run() {
    std::atomic<bool> listening_ended{false};
    std::thread listener([this, &listening_ended] {
        parts_->server.listen_after_bind();
        listening_ended = true;
        parts_->charts.stop();
    });
    parts_->charts.run();
    // A stop that came before the listener started is asked again.
    while (!listening_ended) {
        parts_->server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    listener.join();
}

void WebServer::stop() {
    parts_->server.stop();
    parts_->charts.stop();
}

}  // namespace ledgrove::web
