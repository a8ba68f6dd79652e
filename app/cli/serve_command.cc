// serve_command.cc - `ledgrove-cli serve`: the register of the working
// directory published as a read-only web site until Ctrl+C (app/web).
//
// Ctrl+C (SIGINT) and SIGTERM are taken by a thread of their own through
// sigwait, not by a handler, so stopping the server runs as ordinary code:
// the requests under way are finished, the listener closes, the program
// ends with status 0.  The signals are blocked before any thread starts,
// so every thread of the server inherits the block and only that one
// thread receives them.
#include <signal.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include <CLI/CLI.hpp>

#include "app/cli/commands.h"
#include "app/store/engine_settings.h"
#include "app/web/web_server.h"

namespace ledgrove::cli {
namespace {

struct ServeLine {
    int port = 8080;
    std::string bind = "127.0.0.1";
};

// One request a line on standard output, whole lines even from many
// workers, each at once (the log may be a pipe).
void log_line(const std::string &line) {
    static std::mutex lock;
    std::lock_guard<std::mutex> hold(lock);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string site_address(const std::string &bind, int port) {
    const bool ipv6 = bind.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + bind + "]" : bind) + ":" + std::to_string(port) + "/";
}

void run_serve(const ServeLine &line) {
    // The register must be there before a visitor is told it is.
    {
        DatabaseSet set;
        set.open(true);
        require_open(set, {RegisterIndex::Date, RegisterIndex::Name, RegisterIndex::CheckId,
                           RegisterIndex::VendorId, RegisterIndex::PoId, RegisterIndex::Desc,
                           RegisterIndex::Amount});
    }
    // The engine's process-wide settings, once, before any thread.
    use_program_memory_bounds();

    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    signal(SIGPIPE, SIG_IGN);  // a client gone is told by the failed write

    web::WebServer server({"", line.bind, line.port, log_line});
    if (auto why = server.bind()) fail(*why);
    std::printf("Serving the register at %s (read-only; Ctrl+C stops)\n",
                site_address(line.bind, server.port()).c_str());
    std::fflush(stdout);

    std::thread waiter([&server, stopping] {
        int received = 0;
        sigwait(&stopping, &received);
        log_line(std::string("Stopping on ") + (received == SIGINT ? "Ctrl+C" : "SIGTERM") + ".");
        server.stop();
    });
    server.run();
    waiter.join();
    log_line("Stopped.");
}

}  // namespace

Command add_serve_command(CLI::App &program) {
    CLI::App *command =
        program.add_subcommand("serve", "publish the register as a read-only web site");
    auto line = std::make_shared<ServeLine>();
    command->add_option("--port", line->port, "the port to listen on (default 8080; 0: any free one)")
        ->type_name("N")
        ->check(CLI::Range(0, 65535));
    command->add_option("--bind", line->bind,
                        "the address to listen on (default 127.0.0.1, this machine only)")
        ->type_name("ADDRESS");
    command->footer(
        "Serves the register of the working directory (or -C DIR) over HTTP until\n"
        "Ctrl+C: a search page and summaries with charts for a browser, CSV and\n"
        "XLSX downloads, and JSON at /api/search and /api/summary.  Their query\n"
        "parameters are the options of search and summary without the dashes,\n"
        "and page=N.  Every file is opened read-only.  One line per request is\n"
        "written to standard output.  To publish the site, put it behind the\n"
        "body's own web server, which forwards to this address.\n");
    return {command, [line] { run_serve(*line); }};
}

}  // namespace ledgrove::cli
