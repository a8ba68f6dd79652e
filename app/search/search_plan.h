// search_plan.h - how a search finds its records: the three plans and the
// cost estimate that chooses among them.  Every plan hands the same records
// to the same tests and the same sink in the same order, so the lines, the
// count and the total never depend on the plan.
//
// The order walk (the reference): the order's index from its start key,
// each step reading its record with one system call at a random place
// (search.h, "One search" in docs/DESIGN.md).
//
// The key range: the order's index walked with the key-level calls, which
// read nodes but no records.  A test that the key answers runs on the key,
// for the key holds the order's field whole: the date range in the Date
// order (and the walk's end: the first record outside it that is not
// deleted), a match text on the order's own field, the Amount test and the
// amount range in the Amount order.  In the Amount order a lower bound above
// zero also bounds the walk: it starts at the stored amount of that bound
// and stops past the upper bound, since stored amounts (15 characters,
// zero-filled, field_text.h) sort as their values among the positive ones.
// The keys that pass give record numbers in listing order; the records are
// then read in batches, each batch in record-number order with neighbours
// (gaps up to 32 records) read in one read of up to 1 MiB, and listed in
// the keys' order.  The first batch is small (256), so a sink that wants
// only the first lines reads little.
//
// The date scan: the records of the date range, from the date index's keys
// From..To (or, when the date index and the order's index each hold a key
// for every record of the data file, the whole data file in 1 MiB reads),
// read in record-number order, tested, and the matches sorted by the
// order's key and record number, as the index compares them: the key's
// bytes through the collation table of the index header, then the record
// number.  The plan keeps the matches in memory (at most 192 MiB with
// their sort entries); past that it gives way to the key range.  Nothing
// goes to the sink before the sort, so a failed read makes it give way to
// the order walk, which then meets the failure as it always did.
//
// Every read goes through the data file's file layer; nothing read lives
// past the search call.  Records tagged deleted are passed over as the
// engine passes over them.  The plans other than the order walk need the
// register's own layout (124-byte records, keys that copy character fields
// as stored, the built-in compare of bytes or collated bytes); on any other
// register, and when the data file has a record callback, every search is
// an order walk.
//
// Auto chooses by an estimate of each plan's cost, in microseconds of this
// machine's CPU time (the constants in plan_run.h): a node read and a
// random record read cost a system call each (1.0 and 1.2), a large read
// 0.5 ns a byte, a key step 0.05, the tests of a record 0.03.  The Date
// order takes the key range (its keys are the date range; a scan would add
// a sort).  Every other order: the date scan costs the date range's share
// of the register (estimated from the date index's first and last dates,
// as if dates were even) in reads and tests, plus the sort of its matches;
// the key range costs the keys it walks (the whole index, or the amount
// bounds) in node reads and steps, plus its record reads, estimated from
// the record numbers the keys gave (a batch whose records lie close reads
// its stretch of the file; a scattered one reads each record or the whole
// file, whichever is less).  Where the key count is not known before the
// walk (an amount range) the key walk is tried and given up once it has
// cost what the date scan would.
//
// The files: plan_run.h (what the plans share, the costs) and plan_run.cc
// (the order walk), key_range.cc, date_scan.cc, record_reader.h (the large
// reads), and search_plan.cc (the estimate and the choice).
//
// A sink that takes only its first checks (RecordSink::at_most: one page of
// the web site) is never given the date scan, which reads the whole range
// before it lists the first check: the key range where the key answers a
// test of the order's field, else the order walk, which stops at the last
// check wanted.
#ifndef LEDGROVE_APP_SEARCH_SEARCH_PLAN_H
#define LEDGROVE_APP_SEARCH_SEARCH_PLAN_H

#include "app/search/record_sink.h"
#include "app/search/search.h"

namespace ledgrove {

// Runs one search by the plan (Auto: the estimate's choice) into the sink,
// then flushes the Amount order's held records.  Fills the count, the
// cents, the end result and the plan; the caller sets the total and time.
SearchResult run_search_plan(DatabaseSet &set, SortOrder order, const SearchInputs &inputs,
                             RecordSink &sink, SearchPlan plan);

}  // namespace ledgrove

#endif  // LEDGROVE_APP_SEARCH_SEARCH_PLAN_H
