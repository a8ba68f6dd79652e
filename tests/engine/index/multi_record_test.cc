// KvlIx4InsertEx and KvlIx4UpdateEx: the checking pass, the work in list
// order, and the roll-back with the states it reports.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/index/multi_support.h"
#include "engine/korval32.h"
#include "support/memory_layer.h"

namespace {

using kvl_test::MemoryLayer;
using kvl_test::MultiFiles;
using kvl_test::numbered_person;
using kvl_test::Person;
using kvl_test::person_record;

using Keys = std::vector<std::pair<std::string, uint32_t>>;
IndexRequest *const kBadLink = static_cast<IndexRequest *>(KVL_LIST_END_BAD);

// Data bytes with the header's date (bytes 1 to 3) blanked: a flush stamps
// today's date, which may change while a test runs.
std::vector<uint8_t> undated(std::vector<uint8_t> bytes) {
    for (size_t i = 1; i < 4 && i < bytes.size(); ++i) bytes[i] = 0;
    return bytes;
}

std::vector<uint32_t> states(const MultiFiles::Requests &r) {
    std::vector<uint32_t> out;
    for (const IndexRequest &q : r.list) out.push_back(q.state);
    return out;
}

// Four records in a data file with unique indexes on ID, NAME and CITY.
class MultiRecord : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(files_.rc, 0u);
        for (uint32_t n = 1; n <= 4; ++n) {
            auto record = person_record(numbered_person(n));
            auto r = files_.requests(record);
            uint32_t failed = 99;
            ASSERT_EQ(KvlIx4InsertEx(r.first(), &failed), 0u) << n;
        }
        ASSERT_EQ(KvlDataFlushHeader(files_.data()), 0u);
    }

    struct Snapshot {
        std::vector<uint8_t> data;
        std::vector<Keys> keys;
        bool operator==(const Snapshot &) const = default;
    };
    Snapshot snapshot() {
        Snapshot s{undated(fs_.file(files_.data_path())), {}};
        for (size_t i = 0; i < files_.index_count(); ++i) s.keys.push_back(files_.keys(i));
        return s;
    }
    std::string key(size_t index, const MultiFiles::Requests &r) {
        return std::string(r.keys[index].begin(), r.keys[index].begin() + files_.key_length(index));
    }
    std::vector<uint8_t> stored(uint32_t number) {
        std::vector<uint8_t> record(kvl_test::kMultiRecordLength);
        EXPECT_EQ(KvlDataGetRecord(files_.data(), number, record.data()), 0u);
        return record;
    }

    MemoryLayer fs_;
    MultiFiles files_{"", {{"ID.IX4", "ID"}, {"NAME.IX4", "NAME"}, {"CITY.IX4", "CITY"}},
                      fs_.table()};
};

TEST_F(MultiRecord, InsertAddsOneRecordAndEveryKey) {
    auto record = person_record(numbered_person(5));
    auto r = files_.requests(record);
    uint32_t failed = 99;
    ASSERT_EQ(KvlIx4InsertEx(r.first(), &failed), 0u);
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(files_.data()->header.record_count, 5u);
    EXPECT_EQ(states(r), (std::vector<uint32_t>{3, 2, 2}));
    const std::string keys[] = {"000005", "name000005", "city0005"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.list[i].record_number, 5u) << i;
        EXPECT_EQ(r.list[i].previous, i ? &r.list[i - 1] : nullptr) << i;
        EXPECT_EQ(key(i, r), keys[i]);
        EXPECT_EQ(files_.keys(i).back(), std::make_pair(keys[i], 5u)) << i;
    }
    EXPECT_EQ(stored(5), record);
}

TEST_F(MultiRecord, InsertFailuresUndoEverything) {
    struct Case {
        const char *name;
        std::function<void(MultiFiles::Requests &)> prepare;
        uint32_t expected;
        uint32_t failed;
    } cases[] = {
        {"the third unique index holds the key already", nullptr, ERR_KEY_FOUND, 3},
        {"the list ends in a -1 link", [](auto &r) { r.list[2].next = kBadLink; },
         ERR_BAD_LIST_END, 3},
        {"a shared request brings its own record number",
         [](auto &r) { r.list[1].record_number = 7; }, ERR_NO_RECORD_NUMBER, 2},
        {"the first request shares a record it has not got",
         [](auto &r) { r.list[0].flags = KVL_REQUEST_SHARED; }, ERR_NO_RECORD_NUMBER, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = snapshot();
        Person person = numbered_person(5);
        if (!c.prepare) person.city = numbered_person(3).city;
        auto record = person_record(person);
        auto r = files_.requests(record);
        if (c.prepare) c.prepare(r);
        uint32_t failed = 0;
        EXPECT_EQ(KvlIx4InsertEx(r.first(), &failed), c.expected);
        EXPECT_EQ(failed, c.failed);
        EXPECT_EQ(states(r), (std::vector<uint32_t>{0, 0, 0}));
        EXPECT_EQ(files_.data()->header.record_count, 4u);
        ASSERT_EQ(KvlDataFlushHeader(files_.data()), 0u);
        EXPECT_TRUE(snapshot() == before);
    }
}

TEST_F(MultiRecord, CheckingPassRefusesBeforeAnyWrite) {
    struct Case {
        const char *name;
        size_t at;  // request changed (0-based)
        std::function<void(IndexRequest &)> spoil;
        uint32_t expected;
    } cases[] = {
        {"no index", 1, [](IndexRequest &q) { q.index = nullptr; }, ERR_NULL_PARAMETER},
        {"no data link", 2, [](IndexRequest &q) { q.index->data_link = nullptr; },
         ERR_NULL_PARAMETER},
        {"index without data file", 2,
         [](IndexRequest &q) { q.index->data_link = KVL_NO_DATA_FILE; }, ERR_DATA_LINK_INVALID},
        {"no key buffer", 0, [](IndexRequest &q) { q.key = nullptr; }, ERR_NULL_PARAMETER},
        {"no record buffer", 1, [](IndexRequest &q) { q.record = nullptr; }, ERR_NULL_PARAMETER},
        {"index not open", 2, [](IndexRequest &q) { q.index->os_handle = 0; },
         ERR_FILE_NOT_OPEN},
        {"data file not open", 0, [](IndexRequest &q) { q.index->data_link->os_handle = 0; },
         ERR_FILE_NOT_OPEN},
        {"read-only index", 2, [](IndexRequest &q) { q.index->state |= KVL_STATE_READ_ONLY; },
         ERR_READ_ONLY},
        {"read-only data file", 0,
         [](IndexRequest &q) { q.index->data_link->state |= KVL_STATE_READ_ONLY; },
         ERR_READ_ONLY},
    };
    const auto before = snapshot();
    for (const Case &c : cases) {
        for (bool update : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (update ? " (update)" : " (insert)"));
            auto record = person_record(numbered_person(update ? 2 : 6));
            record[8] = 'X';  // a changed NAME for the update
            auto r = files_.requests(record);
            for (IndexRequest &q : r.list) {
                q.state = 77;
                q.record_number = 2;
            }
            if (!update)
                r.list[0].record_number = 0;
            // Spoil a copy of the control records so the files stay usable.
            DataControlRecord data_before = *files_.data();
            IndexControlRecord index_before = *files_.index(c.at);
            IndexRequest &spoiled = r.list[c.at];
            c.spoil(spoiled);
            uint32_t failed = 0;
            const uint32_t rc = update ? KvlIx4UpdateEx(r.first(), &failed, 0)
                                       : KvlIx4InsertEx(r.first(), &failed);
            std::memcpy(files_.index(c.at), &index_before, sizeof index_before);
            std::memcpy(files_.data(), &data_before, sizeof data_before);
            EXPECT_EQ(rc, c.expected);
            EXPECT_EQ(failed, c.at + 1);
            for (size_t i = 0; i <= c.at; ++i) EXPECT_EQ(r.list[i].state, 0u) << i;
            for (size_t i = c.at + 1; i < r.list.size(); ++i) EXPECT_EQ(r.list[i].state, 77u);
        }
    }
    EXPECT_TRUE(snapshot() == before);
    uint32_t failed = 5;
    EXPECT_EQ(KvlIx4InsertEx(nullptr, &failed), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlIx4UpdateEx(nullptr, &failed, 0), ERR_NULL_PARAMETER);
    auto record = person_record(numbered_person(6));
    auto r = files_.requests(record);
    EXPECT_EQ(KvlIx4InsertEx(r.first(), nullptr), ERR_NULL_PARAMETER);
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), nullptr, 0), ERR_NULL_PARAMETER);
}

TEST_F(MultiRecord, ListsThatComeBackOnThemselvesAreRefused) {
    const auto before = snapshot();
    auto record = person_record(numbered_person(6));
    auto r = files_.requests(record);
    r.list[2].next = &r.list[1];
    uint32_t failed = 0;
    EXPECT_EQ(KvlIx4InsertEx(r.first(), &failed), ERR_BAD_LIST_END);
    EXPECT_EQ(failed, 3u);
    r.list[0].next = &r.list[0];
    EXPECT_EQ(KvlIx4InsertEx(r.first(), &failed), ERR_BAD_LIST_END);
    EXPECT_EQ(failed, 1u);
    EXPECT_TRUE(snapshot() == before);
}

TEST_F(MultiRecord, UpdateOfUnchangedRecordsWritesNothing) {
    const auto before = snapshot();
    auto record = stored(2);
    auto r = files_.requests(record);
    for (IndexRequest &q : r.list) q.record_number = 2;
    uint32_t failed = 99;
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), 0u);
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(states(r), (std::vector<uint32_t>{0, 0, 0}));
    EXPECT_EQ(files_.data()->state & KVL_STATE_CHANGED, 0u);
    EXPECT_TRUE(snapshot() == before);
}

TEST_F(MultiRecord, UpdateMovesTheKeysThatChanged) {
    struct Case {
        const char *name;
        uint32_t record_number;
        std::function<void(Person &)> change;
        std::vector<uint32_t> states;
    } cases[] = {
        {"name and city", 1, [](Person &p) { p.name = "renamed"; p.city = "elsewhr"; },
         {1, 2, 2}},
        {"id and city", 2, [](Person &p) { p.id = "000777"; p.city = "moved"; }, {3, 0, 2}},
        {"amount only", 3, [](Person &p) { p.amount = "99"; }, {1, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Person person = numbered_person(c.record_number);
        c.change(person);
        auto record = person_record(person);
        auto r = files_.requests(record);
        for (IndexRequest &q : r.list) q.record_number = c.record_number;
        uint32_t failed = 99;
        ASSERT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), 0u);
        EXPECT_EQ(failed, 0u);
        EXPECT_EQ(states(r), c.states);
        EXPECT_EQ(stored(c.record_number), record);
        const std::string expected[] = {person.id, person.name, person.city};
        for (size_t i = 0; i < 3; ++i) {
            const Keys keys = files_.keys(i);
            ASSERT_EQ(keys.size(), 4u);
            size_t found = 0;
            for (const auto &[k, number] : keys)
                if (number == c.record_number) {
                    ++found;
                    EXPECT_EQ(k.substr(0, expected[i].size()), expected[i]) << i;
                }
            EXPECT_EQ(found, 1u) << i;
        }
    }
}

TEST_F(MultiRecord, UpdateFailuresRestoreEveryFileAndRecord) {
    struct Case {
        const char *name;
        Person person;
        bool bad_end;
        uint32_t expected;
        uint32_t failed;
        std::vector<uint32_t> states;
    } cases[] = {
        // The third index holds record 4's city: its own undo puts the old key back.
        {"the second shared index refuses the new key",
         {"000902", "renamed", "city0004", "c002", "14"}, false, ERR_KEY_FOUND, 3, {0, 0, 16}},
        {"a -1 link after the last request",
         {"000902", "renamed", "moved", "c002", "14"}, true, ERR_BAD_LIST_END, 3, {0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = snapshot();
        auto record = person_record(c.person);
        auto r = files_.requests(record);
        for (IndexRequest &q : r.list) q.record_number = 2;
        if (c.bad_end) r.list[2].next = kBadLink;
        uint32_t failed = 0;
        EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), c.expected);
        EXPECT_EQ(failed, c.failed);
        EXPECT_EQ(states(r), c.states);
        ASSERT_EQ(KvlDataFlushHeader(files_.data()), 0u);
        EXPECT_TRUE(snapshot() == before);
    }
}

TEST_F(MultiRecord, UpdateUndoesEarlierOwnersWhenALaterOneFails) {
    const auto before = snapshot();
    auto first = person_record({"000001", "first", "city0001", "c001", "7"});
    auto second = person_record({"000003", "third", "city0003", "c003", "21"});
    auto r = files_.requests(first, {1, 0});
    r.list[0].record_number = 1;
    r.list[1].flags = 0;  // owns record 99, which does not exist
    r.list[1].record = second.data();
    r.list[1].record_number = 99;
    uint32_t failed = 0;
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), ERR_BAD_RECORD_NUMBER);
    EXPECT_EQ(failed, 2u);
    EXPECT_EQ(states(r), (std::vector<uint32_t>{0, 0}));
    ASSERT_EQ(KvlDataFlushHeader(files_.data()), 0u);
    EXPECT_TRUE(snapshot() == before);
}

TEST_F(MultiRecord, UpdateListRules) {
    auto record = person_record({"000002", "renamed", "city0002", "c002", "14"});
    auto r = files_.requests(record);
    for (IndexRequest &q : r.list) q.record_number = 2;
    uint32_t failed = 0;

    r.list[0].flags = KVL_REQUEST_SHARED;
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), ERR_UPDATE_BAD_FIRST);
    EXPECT_EQ(failed, 1u);
    r.list[0].flags = 0;

    r.list[1].record_number = 0;
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), ERR_NO_RECORD_NUMBER);
    EXPECT_EQ(failed, 2u);
    r.list[1].record_number = 2;

    // Two owning requests need 74 bytes of save area.
    uint32_t ceiling = 73;
    ASSERT_EQ(KvlSetVar(&ceiling, KVL_VAR_ALLOC_CEILING), 0u);
    r.list[2].flags = 0;
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), ERR_UPDATE_TOO_BIG);
    EXPECT_EQ(failed, 3u);
    ASSERT_EQ(KvlSetVar(&ceiling, KVL_VAR_ALLOC_CEILING), 0u);
    r.list[2].flags = KVL_REQUEST_SHARED;

    // The save area comes from the heap kind given.
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 1), KVL_WIN_INVALID_FUNCTION);
    EXPECT_EQ(failed, 3u);
    EXPECT_EQ(stored(2), person_record(numbered_person(2)));
}

TEST_F(MultiRecord, SharedUpdateRequestMustMatchItsOwnersRecordLength) {
    // An index over a data file of another layout, sharing the record of a
    // request on this one: its compare would read past the saved record.
    auto fields = kvl_test::descriptors({{"WIDE", 'C', 60}});
    ASSERT_EQ(KvlDataCreateFile(3, 1, fields.data(), "WIDE.DBF", 0, fs_.table()), 0u);
    kvl_test::DataFile wide("WIDE.DBF", 1, fs_.table());
    ASSERT_EQ(wide.open(), 0u);
    char expression[] = "WIDE";
    ASSERT_EQ(KvlIx4CreateFile(512, KVL_SORT_BYTES, 850, 1, nullptr, expression, wide.rec(),
                               "WIDE.IX4", nullptr, 0, fs_.table()),
              0u);
    kvl_test::IndexHandleBox wide_index("WIDE.IX4", wide.rec(), fs_.table());
    ASSERT_EQ(KvlIx4OpenFile(wide_index.get(), 0), 0u);

    auto record = person_record({"000002", "renamed", "city0002", "c002", "14"});
    auto r = files_.requests(record);
    for (IndexRequest &q : r.list) q.record_number = 2;
    r.list[1].index = wide_index.get();
    uint32_t failed = 0;
    EXPECT_EQ(KvlIx4UpdateEx(r.first(), &failed, 0), ERR_NO_RECORD_NUMBER);
    EXPECT_EQ(failed, 2u);
}

}  // namespace
