// The dict table and its interned keys, below what a script can observe:
// how long interned texts live, growth, copies, and each map's own order.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "interpreter/value.h"

namespace drevel {
namespace {

std::string key_name(int i) {
    return "key-" + std::to_string(i) + (i % 3 == 0 ? "-with-a-longer-tail" : "");
}

TEST(DictKeys, InternedTextsDieWithTheirLastHolder) {
    const size_t before = interned_key_count();
    EXPECT_EQ(find_interned_key("a text no one interned"), nullptr);
    {
        DictKey first("made-at-run-time-7");
        DictKey again("made-at-run-time-7");
        EXPECT_EQ(first.get(), again.get()); // one text, compared by pointer
        EXPECT_EQ(interned_key_count(), before + 1);
        Dict map;
        map.insert_or_assign(first.get(), Value::number(1));
        first = DictKey();
        again = DictKey();
        // The map still holds the key.
        EXPECT_NE(find_interned_key("made-at-run-time-7"), nullptr);
        EXPECT_EQ(map.find("made-at-run-time-7")->as_number(), 1);
    }
    EXPECT_EQ(find_interned_key("made-at-run-time-7"), nullptr);
    EXPECT_EQ(interned_key_count(), before);
}

TEST(DictKeys, ManyKeysComeAndGoWithoutLosingOthers) {
    // Removing keys shifts their neighbours in the intern table; every key
    // still held must stay findable after each removal.
    const size_t before = interned_key_count();
    std::vector<DictKey> keys;
    for (int i = 0; i < 500; ++i)
        keys.emplace_back(key_name(i));
    for (int i = 0; i < 500; i += 2)
        keys[size_t(i)] = DictKey();
    for (int i = 0; i < 500; ++i) {
        const KeyText* found = find_interned_key(key_name(i));
        if (i % 2 == 0)
            EXPECT_EQ(found, nullptr) << i;
        else
            EXPECT_EQ(found, keys[size_t(i)].get()) << i;
    }
    keys.clear();
    EXPECT_EQ(interned_key_count(), before);
}

TEST(DictTable, GrowsReplacesAndCopiesApart) {
    Dict map;
    for (int i = 0; i < 1000; ++i)
        map.insert_or_assign(key_name(i), Value::number(i));
    for (int i = 0; i < 1000; i += 7)
        map.insert_or_assign(key_name(i), Value::string(key_name(i)));
    EXPECT_EQ(map.size(), 1000u);
    Dict copy(map);
    copy.insert_or_assign("only-in-the-copy", Value::null());
    copy.insert_or_assign(key_name(1), Value::number(-1));
    for (int i = 0; i < 1000; ++i) {
        const Value* v = map.find(key_name(i));
        ASSERT_NE(v, nullptr) << i;
        if (i % 7 == 0)
            EXPECT_EQ(v->text(), key_name(i));
        else
            EXPECT_EQ(v->as_number(), i);
    }
    EXPECT_EQ(map.find("only-in-the-copy"), nullptr);
    EXPECT_EQ(copy.find(key_name(1))->as_number(), -1);
    EXPECT_EQ(copy.size(), 1001u);
    size_t seen = 0;
    for (const auto& [key, value] : map) {
        ++seen;
        EXPECT_EQ(map.find(key), &value);
    }
    EXPECT_EQ(seen, 1000u);
}

TEST(DictTable, RememberedSlotIsCheckedNotTrusted) {
    DictKey wanted("wanted");
    Dict small;
    small.insert_or_assign(wanted.get(), Value::number(1));
    Dict large;
    for (int i = 0; i < 100; ++i)
        large.insert_or_assign(key_name(i), Value::number(i));
    large.insert_or_assign(wanted.get(), Value::number(2));
    Dict without;
    without.insert_or_assign("other", Value::number(3));
    uint32_t slot = 0;
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(small.find(wanted.get(), slot)->as_number(), 1);
        EXPECT_EQ(large.find(wanted.get(), slot)->as_number(), 2);
        EXPECT_EQ(without.find(wanted.get(), slot), nullptr);
        EXPECT_EQ(Dict().find(wanted.get(), slot), nullptr);
    }
    slot = 0xffffffffu; // out of every table's range
    EXPECT_EQ(large.find(wanted.get(), slot)->as_number(), 2);
}

TEST(DictTable, EachMapHasItsOwnOrder) {
    // Same keys inserted in the same order: the seeds place them differently,
    // so over many maps more than one order shows up.
    std::set<std::string> orders;
    for (int m = 0; m < 20; ++m) {
        Dict map;
        for (int i = 0; i < 12; ++i)
            map.insert_or_assign(key_name(i), Value::number(i));
        std::string order;
        for (const auto& entry : map)
            order += std::string(entry.first) + ",";
        orders.insert(order);
    }
    EXPECT_GT(orders.size(), 1u);
}

} // namespace
} // namespace drevel
