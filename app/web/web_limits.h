// web_limits.h - every bound the web server sets, in one place: how much a
// page shows, how long a client may take, how many requests run at once.
// What a browser or a program sees when it meets one is told beside it.
#ifndef LEDGROVE_APP_WEB_WEB_LIMITS_H
#define LEDGROVE_APP_WEB_WEB_LIMITS_H

#include <cstddef>

namespace ledgrove::web {

// Checks on one page of a search, and groups on one page of a summary.  A
// page past the last shows no rows (the count and total still hold).
inline constexpr std::size_t kPageSize = 200;
// The highest page number read; more digits are a 400.
inline constexpr std::size_t kPageDigits = 7;

// A value longer than this many bytes is a 400 before it is read at all;
// the match texts are then cut to their fields' widths as the CLI cuts them.
inline constexpr std::size_t kValueBytes = 256;
// The most parameters one request may carry; more are a 400.
inline constexpr std::size_t kParameterCount = 64;
// How much of a refused value a 400 page quotes.
inline constexpr std::size_t kQuotedBytes = 60;

// The library's own fixed bounds (cpp-httplib as Debian builds it): a
// request line longer than 8,192 bytes is answered 414, a header line
// longer than 8,192 bytes ends the connection.
inline constexpr std::size_t kRequestLineBytes = 8192;
inline constexpr std::size_t kHeaderLineBytes = 8192;
// The pages take no body: one longer than this is answered 413.
inline constexpr std::size_t kBodyBytes = 8192;

// Seconds one read or one write on a connection may wait for the client;
// then the connection is closed, so a slow client holds a worker no longer.
inline constexpr int kReadTimeoutSeconds = 5;
inline constexpr int kWriteTimeoutSeconds = 5;
// An idle kept-alive connection is closed after this many seconds, and
// after this many requests.
inline constexpr int kKeepAliveSeconds = 2;
inline constexpr int kKeepAliveRequests = 100;

// Requests served at once (each on a worker thread with a register set of
// its own); more connections wait in the queue.
inline constexpr std::size_t kWorkers = 32;
// Searches whose count and total are remembered, and summaries.
inline constexpr std::size_t kRememberedTallies = 256;
inline constexpr std::size_t kRememberedSummaries = 32;

// The chart on a summary page, in pixels.
inline constexpr int kChartWidth = 1000, kChartHeight = 560;

}  // namespace ledgrove::web

#endif  // LEDGROVE_APP_WEB_WEB_LIMITS_H
