// record_sink.h - where the checks a search accepts go when they are wanted
// as records, not as result lines: the result-line builder, a summary, a
// table export.  One walk of the search feeds them all alike.
#ifndef LEDGROVE_APP_SEARCH_RECORD_SINK_H
#define LEDGROVE_APP_SEARCH_RECORD_SINK_H

#include <cstddef>

#include "app/store/check_record.h"

namespace ledgrove {

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // One accepted check, in the search's order.  The record lives in the
    // set's shared buffer: it is valid only for the call.
    virtual void add(const CheckRecord &record) = 0;

    // Asked after each check handed on: false ends the search's walk there,
    // for a reader that wants only the first lines of a long result (one
    // page of it).  The search's count and total then cover only the checks
    // handed on so far.
    virtual bool wants_more() const { return true; }

    // The most checks the sink takes before wants_more turns false, or
    // kAll.  A search for a sink that takes only its first checks (one
    // page) is walked so that it stops once it has them, rather than by a
    // plan that reads the whole range before it lists the first check.
    static constexpr std::size_t kAll = static_cast<std::size_t>(-1);
    virtual std::size_t at_most() const { return kAll; }
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_RECORD_SINK_H
