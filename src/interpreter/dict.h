// Dict keys and the dict table.
//
// Every key of every dict is an interned text: one KeyText per distinct text
// in the process, so keys compare by pointer. Keys written in the program are
// interned when the tree is built; a text seen at run time is only looked up,
// and a text that is not interned cannot be a key of any dict. An interned
// text lives while something holds it (a dict or the tree) and leaves the
// intern table with its last reference, so keys made from request data do
// not pile up in a long-running server.
//
// The table is open addressing with linear probing. Each map draws its own
// seed, which places its keys, so iteration order (the order display text
// follows) is neither insertion order nor sorted and differs between maps
// and runs.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace drevel {

class Value;

struct KeyText {
    uint32_t refs;
    uint32_t size;
    uint64_t hash; // with the process seed, before any map's own seed
    const char* data() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    std::string_view text() const noexcept { return {data(), size}; }
};

// The interned text of a key, if some dict or the tree holds it.
const KeyText* find_interned_key(std::string_view text) noexcept;
// How many texts are interned now.
size_t interned_key_count() noexcept;

// An owning reference to an interned text.
class DictKey {
  public:
    DictKey() noexcept = default;
    explicit DictKey(std::string_view text); // interns
    explicit DictKey(const KeyText* key) noexcept : key_(const_cast<KeyText*>(key)) {
        if (key_) ++key_->refs;
    }
    DictKey(const DictKey& other) noexcept : DictKey(other.key_) {}
    DictKey(DictKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    DictKey& operator=(DictKey other) noexcept {
        std::swap(key_, other.key_);
        return *this;
    }
    ~DictKey() { release(key_); }

    const KeyText* get() const noexcept { return key_; }
    std::string_view text() const noexcept { return key_->text(); }
    static void release(KeyText* key) noexcept {
        if (key && --key->refs == 0) forget(key);
    }

  private:
    static void forget(KeyText* key) noexcept; // leaves the intern table and is freed
    KeyText* key_ = nullptr;
};

// Interns the first of each pair (the keys of a dict literal).
template <typename Pairs> std::vector<DictKey> intern_keys(const Pairs& pairs) {
    std::vector<DictKey> keys;
    keys.reserve(pairs.size());
    for (const auto& pair : pairs)
        keys.emplace_back(std::string_view(pair.first));
    return keys;
}

class Dict {
  public:
    struct Slot; // a key (null when empty) and its value

    explicit Dict(size_t expected = 0);
    Dict(const Dict& other);
    Dict(Dict&& other) noexcept
        : slots_(std::exchange(other.slots_, nullptr)), mask_(std::exchange(other.mask_, 0)),
          size_(std::exchange(other.size_, 0)), shift_(std::exchange(other.shift_, 64)),
          seed_(other.seed_) {}
    Dict& operator=(const Dict&) = delete;
    ~Dict();

    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    const Value* find(const KeyText* key) const noexcept;
    const Value* find(std::string_view text) const noexcept;
    // Tries the slot `hint` first and remembers where the key was found
    // (defined in value.h, where a slot's value is complete).
    inline const Value* find(const KeyText* key, uint32_t& hint) const noexcept;
    // Stores the value under the key, replacing what was there.
    void insert_or_assign(const KeyText* key, Value value);
    void insert_or_assign(std::string_view text, Value value);

    // Entries in table order, as pairs of key text and value.
    class iterator {
      public:
        iterator(const Slot* at, const Slot* end) noexcept : at_(at), end_(end) { skip(); }
        std::pair<std::string_view, const Value&> operator*() const noexcept;
        iterator& operator++() noexcept;
        bool operator!=(const iterator& other) const noexcept { return at_ != other.at_; }
        bool operator==(const iterator& other) const noexcept { return at_ == other.at_; }

      private:
        void skip() noexcept;
        const Slot* at_;
        const Slot* end_;
    };
    iterator begin() const noexcept;
    iterator end() const noexcept;

  private:
    uint32_t home(const KeyText* key) const noexcept {
        return uint32_t(((key->hash ^ seed_) * 0x9e3779b97f4a7c15ULL) >> shift_);
    }
    const Value* probe(const KeyText* key, uint32_t& hint) const noexcept;
    void grow();
    void place(KeyText* key, Value&& value); // key not present, room available

    Slot* slots_ = nullptr;
    uint32_t mask_ = 0; // capacity - 1
    uint32_t size_ = 0;
    uint32_t shift_ = 64;
    uint64_t seed_;
};

} // namespace drevel
