// The dict table and its interned keys, below what a script can observe:
// how long interned texts live, shared layouts, growth, removal, copies, and
// the order of iteration.
#include <gtest/gtest.h>

#include <map>
#include <random>
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
        Dict map(Dict::kSmallDictMax + 1); // a table holds its keys itself
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

TEST(DictKeys, AnUnusedLayoutWaitsThenLetsItsKeysGo) {
    // A small dict's keys live in its layout, which outlives the dict for a
    // while (the next dict built the same way reuses it) but not for ever.
    {
        Dict map;
        map.insert_or_assign("only-in-a-small-dict", Value::number(1));
    }
    EXPECT_NE(find_interned_key("only-in-a-small-dict"), nullptr);
    for (int i = 0; i < 3000; ++i) {
        Dict other;
        other.insert_or_assign("filler-" + std::to_string(i), Value::number(i));
    }
    EXPECT_EQ(find_interned_key("only-in-a-small-dict"), nullptr);
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

TEST(DictKeys, ALongTextRemembersItsHashUntilItGrows) {
    const std::string base = "a key longer than an inline text";
    for (size_t expected : {size_t(0), size_t(Dict::kSmallDictMax + 1)}) {
        Dict map(expected);
        map.insert_or_assign(base, Value::number(1));
        map.insert_or_assign(base + "!", Value::number(2));
        map.insert_or_assign(base + "!?", Value::number(3));
        Value text = Value::string(base);
        auto lookup = [&map, &text] { return map.find(text.text(), text.text_key_hash()); };
        EXPECT_EQ(lookup()->as_number(), 1);
        text.append_text("!"); // a new, larger buffer
        EXPECT_EQ(lookup()->as_number(), 2);
        text.append_text("?"); // in place: the remembered hash must go
        EXPECT_EQ(lookup()->as_number(), 3);
        text.append_text("?");
        EXPECT_EQ(lookup(), nullptr);
    }
}

TEST(DictLayouts, DictsBuiltAlikeShareSlotsAndOrder) {
    // Two dicts given the same keys in the same order read a key through one
    // remembered slot and iterate alike; their values stay their own.
    std::vector<DictKey> keys;
    for (int i = 0; i < 6; ++i)
        keys.emplace_back(key_name(i));
    auto build = [&keys](int offset) {
        Dict map(keys.size());
        for (size_t i = 0; i < keys.size(); ++i)
            map.insert_or_assign(keys[i].get(), Value::number(int64_t(i) + offset));
        return map;
    };
    Dict a = build(0), b = build(100);
    uint32_t slot = 0;
    EXPECT_EQ(a.find(keys[4].get(), slot)->as_number(), 4);
    uint32_t remembered = slot;
    EXPECT_EQ(b.find(keys[4].get(), slot)->as_number(), 104);
    EXPECT_EQ(slot, remembered);
    std::string order_a, order_b;
    for (const auto& entry : a)
        order_a += std::string(entry.first) + ",";
    for (const auto& entry : b)
        order_b += std::string(entry.first) + ",";
    EXPECT_EQ(order_a, order_b);
}

TEST(DictLayouts, OrderIsNeitherInsertionNorSorted) {
    // Over many different runs of insertions (different layouts), some
    // iterate in an order other than the one the keys went in.
    size_t differs = 0;
    for (int m = 0; m < 20; ++m) {
        Dict map;
        std::string inserted, iterated;
        for (int i = 0; i < 5; ++i) {
            std::string key = key_name(m * 5 + i);
            map.insert_or_assign(key, Value::number(i));
            inserted += key + ",";
        }
        for (const auto& entry : map)
            iterated += std::string(entry.first) + ",";
        differs += inserted != iterated;
    }
    EXPECT_GT(differs, 10u);
}

TEST(DictLayouts, AgreesWithAnOrderedMapOverRandomChanges) {
    // Inserts, replacements, removals and copies, across the size where a
    // small dict becomes a table: every lookup, size and set
    // of entries matches std::map's.
    std::mt19937 random(7);
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i)
        names.push_back(key_name(i));
    std::vector<std::pair<Dict, std::map<std::string, int64_t>>> maps(1);
    maps.reserve(6); // the entry being changed must not move when a copy is added
    for (int step = 0; step < 20000; ++step) {
        auto& [dict, expected] = maps[random() % maps.size()];
        const std::string& name = names[random() % (step % 2000 < 1000 ? 20 : 40)];
        switch (random() % 8) {
        case 0:
        case 1:
        case 2:
            dict.insert_or_assign(name, Value::number(step));
            expected[name] = step;
            break;
        case 3:
        case 4: EXPECT_EQ(dict.erase(name), expected.erase(name) == 1) << step; break;
        case 5:
            if (maps.size() < 6) maps.emplace_back(Dict(dict), expected);
            break;
        default: {
            const Value* found = dict.find(name);
            auto it = expected.find(name);
            ASSERT_EQ(found != nullptr, it != expected.end()) << step << " " << name;
            if (found) {
                EXPECT_EQ(found->as_number(), it->second) << step;
            }
        }
        }
        ASSERT_EQ(dict.size(), expected.size()) << step;
    }
    for (const auto& [dict, expected] : maps) {
        std::map<std::string, int64_t> seen;
        for (const auto& [key, value] : dict)
            seen.emplace(std::string(key), value.as_number());
        EXPECT_EQ(seen, expected);
        std::vector<std::string> sorted;
        for (const auto& entry : dict.sorted_entries())
            sorted.emplace_back(entry.first);
        std::vector<std::string> wanted;
        for (const auto& entry : expected)
            wanted.push_back(entry.first);
        EXPECT_EQ(sorted, wanted);
    }
}

} // namespace
} // namespace drevel
