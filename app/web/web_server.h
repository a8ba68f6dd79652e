// web_server.h - the site (site.h) served over HTTP on one address, by
// cpp-httplib: a pool of worker threads answers requests side by side,
// within the bounds of web_limits.h, and one line per request goes to the
// log.  No type of the HTTP library shows here.
//
//   WebServer server(options);
//   if (auto why = server.bind()) ...;   // then server.port() is known
//   server.run();                        // until stop(), from any thread
//
// run() serves on a thread of its own and draws the summary charts on the
// thread that called it (chart_queue.h), so call it on the thread that is
// to own Qt: the program's main thread.
#ifndef LEDGROVE_APP_WEB_WEB_SERVER_H
#define LEDGROVE_APP_WEB_WEB_SERVER_H

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ledgrove::web {

struct ServeOptions {
    std::string directory;            // the register's folder; "" the working one
    std::string bind = "127.0.0.1";   // the address to listen on
    int port = 8080;                  // 0: any free port
    // Where the request lines go (one line, no line end); none: nowhere.
    std::function<void(const std::string &)> log;
};

class WebServer {
public:
    explicit WebServer(ServeOptions options);
    ~WebServer();
    WebServer(const WebServer &) = delete;
    WebServer &operator=(const WebServer &) = delete;

    // Listens on the address and port; why it cannot, or nothing.
    std::optional<std::string> bind();
    int port() const;

    // Serves until stop(); the requests still running are finished first.
    void run();
    // From any thread, a signal handler's thread included.
    void stop();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_WEB_SERVER_H
