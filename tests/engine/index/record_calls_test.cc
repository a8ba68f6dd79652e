// The record-level index calls (KvlIx4Get*), skipping of deleted records,
// key for record, and the single-index KvlIx4Insert and KvlIx4Update with
// their result states and undo.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/index/record_index_support.h"
#include "support/result_name.h"
#include "support/temp_dir.h"
#include "tools/ix4check/ix4_checker.h"

namespace {

using kvl_test::kNameLength;
using kvl_test::kRecordLength;
using kvl_test::name_key;
using kvl_test::name_record;
using kvl_test::NamesIndex;
using kvl_test::Result;

using GetCall = uint32_t (*)(IndexHandle, void *, uint32_t *, void *);

struct Got {
    uint32_t rc;
    std::string name;
    uint32_t record_number;
};

Got get(GetCall call, NamesIndex &names, const std::string &name = "", uint32_t number = 0) {
    std::string key = name_key(name);
    std::vector<uint8_t> record(kRecordLength, 0);
    uint32_t rc = call(names.index(), key.data(), &number, record.data());
    std::string stored(reinterpret_cast<char *>(record.data()) + 1, kNameLength);
    if (rc == 0) {
        EXPECT_EQ(stored, key) << "record and key disagree";
    }
    while (!stored.empty() && stored.back() == ' ') stored.pop_back();
    return {rc, rc == 0 ? stored : std::string(), number};
}

ix4check::Report check(NamesIndex &names, uint32_t tag_filter = 0) {
    EXPECT_EQ(KvlIx4FlushHeader(names.index()), 0u);
    EXPECT_EQ(KvlDataFlushHeader(names.data()), 0u);
    ix4check::Options options;
    options.index_path = names.index_path();
    options.data_path = names.data_path();
    options.build_key = kvl_test::build_name;
    options.tag_filter = tag_filter;
    return ix4check::check_index(options);
}

class RecordCalls : public testing::Test {
protected:
    void SetUp() override {
        names_ = std::make_unique<NamesIndex>(dir_.root(), 512, KVL_SORT_BYTES, KVL_STATE_SKIP_DELETED);
        ASSERT_EQ(names_->create_rc, 0u);
        ASSERT_EQ(names_->open_rc, 0u);
    }
    // Records 1..6: ALPHA, BRAVO, CHARLIE, DELTA, ECHO, FOXTROT; then the
    // first, the third and the last two are marked deleted.
    void fill_with_deleted() {
        for (const char *n : {"ALPHA", "BRAVO", "CHARLIE", "DELTA", "ECHO", "FOXTROT"})
            ASSERT_EQ(names_->insert(n, 1), 0u);
        for (uint32_t r : {1u, 3u, 5u, 6u}) ASSERT_EQ(KvlDataMarkRecord(names_->data(), r, '*'), 0u);
    }
    kvl_test::TempDir dir_;
    std::unique_ptr<NamesIndex> names_;
};

TEST_F(RecordCalls, EachCallReadsTheRecordOfItsKey) {
    for (const char *n : {"MIKE", "ALPHA", "ZULU", "KILO", "DELTA"}) ASSERT_EQ(names_->insert(n, 7), 0u);
    NamesIndex &ix = *names_;
    struct Case {
        const char *what;
        GetCall call;
        const char *from;
        uint32_t rc;
        const char *name;
        uint32_t record;
    } cases[] = {
        {"first", KvlIx4GetFirst, "", 0, "ALPHA", 2},
        {"last", KvlIx4GetLast, "", 0, "ZULU", 3},
        {"equal", KvlIx4GetEqual, "KILO", 0, "KILO", 4},
        {"equal, absent", KvlIx4GetEqual, "LIMA", ERR_KEY_NOT_FOUND, "", 0},
        {"equal or greater", KvlIx4GetEqualOrGreater, "LIMA", 0, "MIKE", 1},
        {"equal or greater, equal", KvlIx4GetEqualOrGreater, "DELTA", 0, "DELTA", 5},
        {"equal or greater, none", KvlIx4GetEqualOrGreater, "ZZ", ERR_END_OF_INDEX, "", 0},
        {"equal or lesser", KvlIx4GetEqualOrLesser, "LIMA", 0, "KILO", 4},
        {"equal or lesser, none", KvlIx4GetEqualOrLesser, "AA", ERR_TOP_OF_INDEX, "", 0},
    };
    for (const Case &c : cases) {
        const Got got = get(c.call, ix, c.from);
        EXPECT_EQ(Result(got.rc), Result(c.rc)) << c.what;
        EXPECT_EQ(got.name, c.name) << c.what;
        if (c.rc == 0) {
            EXPECT_EQ(got.record_number, c.record) << c.what;
        }
    }
    // Walks both ways.
    std::vector<std::string> forward, backward;
    for (Got g = get(KvlIx4GetFirst, ix); g.rc == 0; g = get(KvlIx4GetNext, ix)) forward.push_back(g.name);
    for (Got g = get(KvlIx4GetLast, ix); g.rc == 0; g = get(KvlIx4GetPrev, ix)) backward.push_back(g.name);
    EXPECT_EQ(forward, (std::vector<std::string>{"ALPHA", "DELTA", "KILO", "MIKE", "ZULU"}));
    EXPECT_EQ(backward, (std::vector<std::string>{"ZULU", "MIKE", "KILO", "DELTA", "ALPHA"}));
    EXPECT_TRUE(check(ix).ok()) << check(ix).text();
}

TEST_F(RecordCalls, EmptyIndexAndBadLinks) {
    EXPECT_EQ(Result(get(KvlIx4GetLast, *names_).rc), ERR_NO_NODE);
    EXPECT_EQ(Result(get(KvlIx4GetFirst, *names_).rc), ERR_EMPTY_INDEX);
    std::string key(kNameLength, ' ');
    std::vector<uint8_t> record(kRecordLength);
    uint32_t number = 0;
    IndexControlRecord *ix = names_->index();
    EXPECT_EQ(Result(KvlIx4GetFirst(ix, key.data(), &number, nullptr)), ERR_NULL_PARAMETER);
    EXPECT_EQ(Result(KvlIx4GetFirst(nullptr, key.data(), &number, record.data())),
              ERR_NULL_PARAMETER);
    DataControlRecord *link = ix->data_link;
    ix->data_link = nullptr;
    EXPECT_EQ(Result(KvlIx4GetNext(ix, key.data(), &number, record.data())), ERR_NO_DATA_LINK);
    EXPECT_EQ(Result(KvlIx4KeyForRecord(ix, key.data(), 0, record.data())), ERR_NULL_PARAMETER);
    ix->data_link = KVL_NO_DATA_FILE;
    EXPECT_EQ(Result(KvlIx4GetPrev(ix, key.data(), &number, record.data())), ERR_DATA_LINK_INVALID);
    EXPECT_EQ(Result(KvlIx4KeyForRecord(ix, key.data(), 0, record.data())), ERR_DATA_LINK_INVALID);
    ix->data_link = link;
}

TEST_F(RecordCalls, DeletedRecordsAreSkippedInTheCallsDirection) {
    fill_with_deleted();  // live: BRAVO (2), DELTA (4)
    NamesIndex &ix = *names_;
    struct Case {
        const char *what;
        GetCall call;
        const char *from;
        uint32_t rc;
        const char *name;
    } cases[] = {
        {"first skips forward", KvlIx4GetFirst, "", 0, "BRAVO"},
        {"last skips backward", KvlIx4GetLast, "", 0, "DELTA"},
        {"equal on a deleted record", KvlIx4GetEqual, "CHARLIE", ERR_KEY_NOT_FOUND, ""},
        {"equal on a live record", KvlIx4GetEqual, "DELTA", 0, "DELTA"},
        {"equal or greater skips forward", KvlIx4GetEqualOrGreater, "CHARLIE", 0, "DELTA"},
        {"equal or lesser skips backward", KvlIx4GetEqualOrLesser, "CHARLIE", 0, "BRAVO"},
        {"equal or greater runs off the end", KvlIx4GetEqualOrGreater, "E", ERR_END_OF_INDEX, ""},
        {"equal or lesser runs off the front", KvlIx4GetEqualOrLesser, "B", ERR_TOP_OF_INDEX, ""},
    };
    for (const Case &c : cases) {
        const Got got = get(c.call, ix, c.from);
        EXPECT_EQ(Result(got.rc), Result(c.rc)) << c.what;
        EXPECT_EQ(got.name, c.name) << c.what;
    }
    std::vector<std::string> forward;
    for (Got g = get(KvlIx4GetFirst, ix); g.rc == 0; g = get(KvlIx4GetNext, ix)) forward.push_back(g.name);
    EXPECT_EQ(forward, (std::vector<std::string>{"BRAVO", "DELTA"}));

    // Without the data file's skip flag every record comes back.
    ix.data()->state &= ~KVL_STATE_SKIP_DELETED;
    EXPECT_EQ(get(KvlIx4GetFirst, ix).name, "ALPHA");
    EXPECT_EQ(get(KvlIx4GetEqual, ix, "CHARLIE").rc, 0u);
}

TEST_F(RecordCalls, KeyForRecordBuildsAndFinds) {
    fill_with_deleted();
    IndexControlRecord *ix = names_->index();
    std::vector<uint8_t> record = name_record("DELTA", 1);
    std::string key(kNameLength, '\0');
    EXPECT_EQ(KvlIx4KeyForRecord(ix, key.data(), 0, record.data()), 0u);
    EXPECT_EQ(key, name_key("DELTA"));
    EXPECT_EQ(KvlIx4KeyForRecord(ix, key.data(), 4, record.data()), 0u);
    EXPECT_EQ(ix->current_record, 4u);
    // A unique index compares keys only: the key is found for any record.
    EXPECT_EQ(KvlIx4KeyForRecord(ix, key.data(), 3, record.data()), 0u);
    EXPECT_EQ(ix->current_record, 4u);
    record = name_record("GOLF", 1);
    EXPECT_EQ(Result(KvlIx4KeyForRecord(ix, key.data(), 4, record.data())), ERR_KEY_NOT_FOUND);

    ix->tag_filter = '*';
    record = name_record("ECHO", 1, '*');
    EXPECT_EQ(Result(KvlIx4KeyForRecord(ix, key.data(), 0, record.data())), ERR_RECORD_FILTERED);
    EXPECT_EQ(KvlIx4KeyForRecord(ix, key.data(), 5, record.data()), 0u);  // filtered, still found
}

TEST_F(RecordCalls, InsertAddsRecordAndKeyOrNeither) {
    NamesIndex &ix = *names_;
    std::vector<uint8_t> record = name_record("OSCAR", 3);
    std::string key(kNameLength, '\0');
    uint32_t number = 0, state = 77;
    ASSERT_EQ(KvlIx4Insert(ix.index(), key.data(), &number, record.data(), &state), 0u);
    EXPECT_EQ(state, 3u);
    EXPECT_EQ(number, 1u);
    EXPECT_EQ(key, name_key("OSCAR"));

    // A key already there: the appended record is taken back.
    state = 77;
    EXPECT_EQ(Result(KvlIx4Insert(ix.index(), key.data(), &number, record.data(), &state)),
              ERR_KEY_FOUND);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(ix.data()->header.record_count, 1u);
    EXPECT_EQ(number, 1u);  // untouched

    // A record the tag filter excludes has no key: nothing is kept.
    ix.index()->tag_filter = '*';
    std::vector<uint8_t> deleted = name_record("PAPA", 3, '*');
    EXPECT_EQ(Result(KvlIx4Insert(ix.index(), key.data(), &number, deleted.data(), &state)),
              ERR_RECORD_FILTERED);
    EXPECT_EQ(ix.data()->header.record_count, 1u);

    EXPECT_EQ(Result(KvlIx4Insert(ix.index(), key.data(), &number, record.data(), nullptr)),
              ERR_NULL_PARAMETER);
    IndexControlRecord *index = ix.index();
    DataControlRecord *link = index->data_link;
    for (auto [bad, rc] : {std::pair{(DataControlRecord *)nullptr, ERR_NO_DATA_LINK},
                           std::pair{KVL_NO_DATA_FILE, ERR_DATA_LINK_INVALID}}) {
        index->data_link = bad;
        state = 77;
        EXPECT_EQ(Result(KvlIx4Insert(index, key.data(), &number, record.data(), &state)),
                  Result(rc));
        EXPECT_EQ(state, 0u);
    }
    index->data_link = link;
    link->state |= KVL_STATE_READ_ONLY;
    EXPECT_EQ(Result(KvlIx4Insert(index, key.data(), &number, record.data(), &state)),
              ERR_READ_ONLY);
    link->state &= ~KVL_STATE_READ_ONLY;
    EXPECT_TRUE(check(ix, '*').ok()) << check(ix, '*').text();
}

uint32_t g_refuse_event;
uint32_t refuse_event(uint32_t event, DataHandle, void *, uint32_t) {
    return event == g_refuse_event ? 7777u : 0u;
}

TEST_F(RecordCalls, UpdateMovesTheKeyAndUndoesFailures) {
    NamesIndex &ix = *names_;
    for (const char *n : {"ALPHA", "BRAVO", "CHARLIE"}) ASSERT_EQ(ix.insert(n, 1), 0u);
    ASSERT_EQ(KvlDataFlushHeader(ix.data()), 0u);
    IndexControlRecord *index = ix.index();
    std::string key(kNameLength, '\0');
    auto update = [&](uint32_t number, const std::vector<uint8_t> &record, uint32_t state_in,
                      uint32_t *state) {
        std::vector<uint8_t> copy = record;
        *state = state_in;
        key.assign(kNameLength, '-');
        return KvlIx4Update(index, key.data(), number, copy.data(), state);
    };
    auto stored = [&](uint32_t number) {
        std::vector<uint8_t> record(kRecordLength);
        EXPECT_EQ(KvlDataGetRecord(ix.data(), number, record.data()), 0u);
        return record;
    };
    auto found = [&](const char *name) { return get(KvlIx4GetEqual, ix, name).record_number; };
    uint32_t state = 0;

    // Unchanged record: nothing written.
    const std::vector<uint8_t> before = kvl_test::read_file(ix.data_path());
    EXPECT_EQ(update(2, name_record("BRAVO", 1), 0, &state), 0u);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(kvl_test::read_file(ix.data_path()), before);

    // Another field only: the record is written, the key stays.
    EXPECT_EQ(update(2, name_record("BRAVO", 9), 0, &state), 0u);
    EXPECT_EQ(state, 1u);
    EXPECT_EQ(stored(2), name_record("BRAVO", 9));

    // The key field: the key moves and comes back in the key buffer.
    EXPECT_EQ(update(2, name_record("ZEBRA", 9), 0, &state), 0u);
    EXPECT_EQ(state, 3u);
    EXPECT_EQ(key, name_key("ZEBRA"));
    EXPECT_EQ(found("ZEBRA"), 2u);
    EXPECT_EQ(Result(get(KvlIx4GetEqual, ix, "BRAVO").rc), ERR_KEY_NOT_FOUND);

    // A new key that is taken: the old key goes back, the record stays.
    EXPECT_EQ(Result(update(2, name_record("ALPHA", 9), 0, &state)), ERR_KEY_FOUND);
    EXPECT_EQ(state, 16u);
    EXPECT_EQ(found("ZEBRA"), 2u);
    EXPECT_EQ(found("ALPHA"), 1u);
    EXPECT_EQ(stored(2), name_record("ZEBRA", 9));

    // Keys only: the key moves, the record is not written.
    EXPECT_EQ(update(3, name_record("YANKEE", 1), KVL_UPDATE_KEYS_ONLY, &state), 0u);
    EXPECT_EQ(state, 0u);
    std::string yankee = name_key("YANKEE");
    uint32_t number = 0;
    EXPECT_EQ(KvlIx4EqualKey(index, yankee.data(), &number), 0u);  // key only: records disagree
    EXPECT_EQ(number, 3u);
    EXPECT_EQ(stored(3), name_record("CHARLIE", 1));
    ASSERT_EQ(KvlIx4DeleteKey(index, name_key("YANKEE").data(), 3), 0u);
    ASSERT_EQ(KvlIx4StoreKey(index, name_key("CHARLIE").data(), 3), 0u);

    // The record write fails: the key change is undone.
    ix.data()->record_callback = refuse_event;
    g_refuse_event = KVL_EVENT_BEFORE_WRITE;
    EXPECT_EQ(update(3, name_record("XRAY", 1), 0, &state), 7777u);
    EXPECT_EQ(state, 17u);
    EXPECT_EQ(found("CHARLIE"), 3u);
    EXPECT_EQ(Result(get(KvlIx4GetEqual, ix, "XRAY").rc), ERR_KEY_NOT_FOUND);
    EXPECT_EQ(update(3, name_record("CHARLIE", 5), 0, &state), 7777u);  // same key
    EXPECT_EQ(state, 17u);
    // An append the callback refuses: nothing added.
    g_refuse_event = KVL_EVENT_BEFORE_ADD;
    EXPECT_EQ(ix.insert("HOTEL", 1), 7777u);
    EXPECT_EQ(ix.data()->header.record_count, 3u);
    ix.data()->record_callback = nullptr;

    EXPECT_EQ(Result(update(9, name_record("X", 1), 0, &state)), ERR_BAD_RECORD_NUMBER);
    EXPECT_EQ(Result(KvlIx4Update(index, key.data(), 1, nullptr, &state)), ERR_NULL_PARAMETER);
    ix.index()->state |= KVL_STATE_READ_ONLY;
    EXPECT_EQ(Result(update(1, name_record("X", 1), 0, &state)), ERR_READ_ONLY);
    ix.index()->state &= ~KVL_STATE_READ_ONLY;
    EXPECT_TRUE(check(ix).ok()) << check(ix).text();
}

}  // namespace
