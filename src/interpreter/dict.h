// Dict keys and the dict table.
//
// Every key of every dict is an interned text: one KeyText per distinct text
// in the process, so keys compare by pointer. Keys written in the program are
// interned when the tree is built; a text seen at run time is only looked up,
// and a text that is not interned cannot be a key of any dict. An interned
// text lives while something holds it (a dict, a layout or the tree) and
// leaves the intern table with its last reference, so keys made from request
// data do not pile up in a long-running server.
//
// A dict of up to kSmallDictMax keys shares its keys with every dict that
// got the same keys in the same order (the same literal, or the same run of
// insertions): they point at one layout, which lists the keys by slot, and
// hold only their values, slot by slot, in one pooled block. Layouts form a
// tree: each knows the layouts one key longer. A remembered slot is checked
// against the layout's key there and read, with no hashing. Each layout draws
// its own seed, which orders its keys for iteration (the order display text
// follows), so that order is neither insertion order nor sorted and differs
// between layouts and runs. A larger dict is an open addressing table with
// linear probing and a seed of its own.
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

// The hash a key of this text has (KeyText::hash).
uint64_t key_hash(std::string_view text) noexcept;
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

struct DictLayout; // the keys of small dicts, shared (dict.cpp)

// Blocks of up to kPooledBlockMax bytes from per-size free lists: the values
// of small dicts and the dict objects themselves come and go by the million.
constexpr size_t kPooledBlockMax = 256;
void* allocate_block(size_t bytes);
void free_block(void* block, size_t bytes) noexcept;

class Dict {
  public:
    static constexpr uint32_t kSmallDictMax = 16;

    explicit Dict(size_t expected = 0);
    Dict(const Dict& other);
    Dict(Dict&& other) noexcept
        : keys_(std::exchange(other.keys_, nullptr)),
          values_(std::exchange(other.values_, nullptr)),
          layout_(std::exchange(other.layout_, nullptr)), seed_(other.seed_),
          limit_(std::exchange(other.limit_, 0)), size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)), shift_(other.shift_),
          table_(std::exchange(other.table_, false)) {}
    Dict& operator=(const Dict&) = delete;
    ~Dict();

    size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    const Value* find(const KeyText* key) const noexcept;
    const Value* find(std::string_view text) const noexcept;
    // The same, for a caller that knows the text's key_hash.
    const Value* find(std::string_view text, uint64_t hash) const noexcept;
    // Tries the slot `hint` first and remembers where the key was found.
    const Value* find(const KeyText* key, uint32_t& hint) const noexcept {
        if (hint < limit_ && keys_[hint] == key) return slot_value(hint);
        return probe(key, hint);
    }
    // The value under the key, writable; null when absent.
    Value* find_mutable(const KeyText* key) noexcept {
        uint32_t hint = 0;
        return const_cast<Value*>(probe(key, hint));
    }
    Value* find_mutable(std::string_view text) noexcept;
    // Stores the value under the key, replacing what was there.
    void insert_or_assign(const KeyText* key, Value value);
    void insert_or_assign(std::string_view text, Value value);
    // Removes the key; false when it was absent.
    bool erase(const KeyText* key);
    bool erase(std::string_view text);

    // Entries in the dict's own order, as pairs of key text and value.
    class iterator {
      public:
        iterator(const Dict& dict, uint32_t at) noexcept;
        std::pair<std::string_view, const Value&> operator*() const noexcept;
        iterator& operator++() noexcept;
        bool operator!=(const iterator& other) const noexcept { return at_ != other.at_; }
        bool operator==(const iterator& other) const noexcept { return at_ == other.at_; }

      private:
        uint32_t slot() const noexcept { return order_ ? order_[at_] : at_; }
        void skip() noexcept;
        KeyText* const* keys_;
        const Value* values_;
        const uint8_t* order_; // small dicts: slots in iteration order
        uint32_t at_;
        uint32_t end_;
    };
    iterator begin() const noexcept { return iterator(*this, 0); }
    iterator end() const noexcept { return iterator(*this, limit_); }
    // Entries sorted by key bytes (code point order for UTF-8 text).
    std::vector<std::pair<std::string_view, const Value*>> sorted_entries() const;

  private:
    // Defined in value.h, where Value is complete.
    inline const Value* slot_value(uint32_t slot) const noexcept;
    const Value* probe(const KeyText* key, uint32_t& hint) const noexcept;
    uint32_t home(const KeyText* key) const noexcept;
    void insert_new(KeyText* key, Value&& value);
    void make_table(uint32_t capacity);
    void place(KeyText* key, Value&& value) noexcept; // table: key absent, room available
    void release_storage() noexcept;

    // Slot i holds the value of keys_[i]; a table's empty slot has a null key.
    KeyText* const* keys_ = nullptr; // small: the layout's keys; table: its key column
    Value* values_ = nullptr;
    DictLayout* layout_ = nullptr; // small, with keys: counted reference
    uint64_t seed_ = 0;            // table
    uint32_t limit_ = 0;           // slots readable through keys_
    uint32_t size_ = 0;
    uint32_t capacity_ = 0; // values_ slots
    uint32_t shift_ = 64;   // table: 64 - log2(capacity)
    bool table_ = false;
};

} // namespace drevel
