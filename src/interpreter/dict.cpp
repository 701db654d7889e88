#include "interpreter/dict.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#include "interpreter/value.h"

namespace drevel {

namespace {

uint64_t mix(uint64_t z) noexcept {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

uint64_t load_word(const char* p) noexcept {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// The last 1 to 7 bytes as one word, without reading past them.
uint64_t load_tail(const char* p, size_t n) noexcept {
    if (n >= 4) {
        uint32_t low, high;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + n - 4, 4);
        return uint64_t(low) | uint64_t(high) << 32;
    }
    return uint64_t(uint8_t(p[0])) | uint64_t(uint8_t(p[n / 2])) << 8 |
           uint64_t(uint8_t(p[n - 1])) << 16;
}

} // namespace

uint64_t key_hash(std::string_view text) noexcept {
    // A word at a time from the process seed, then mixed: a key of up to 16
    // bytes costs two multiplications.
    const char* p = text.data();
    size_t n = text.size();
    uint64_t h = dict_seed() ^ (n * 0x9e3779b97f4a7c15ULL);
    for (; n > 8; n -= 8, p += 8)
        h = (h ^ load_word(p)) * 0xbf58476d1ce4e5b9ULL;
    if (n > 0) h = (h ^ (n == 8 ? load_word(p) : load_tail(p, n))) * 0x94d049bb133111ebULL;
    // The products carry every byte into the high half; folding it down
    // gives the low bits (the intern table's) the same.
    return h ^ (h >> 32);
}

namespace {

// The intern table: linear probing over KeyText pointers. A removed entry
// shifts its successors back, so the table needs no tombstones.
class InternTable {
  public:
    const KeyText* find(std::string_view text, uint64_t hash) const noexcept {
        if (count_ == 0) return nullptr;
        for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const KeyText* key = slots_[i];
            if (!key) return nullptr;
            if (key->hash == hash && key->text() == text) return key;
        }
    }

    KeyText* intern(std::string_view text) {
        uint64_t hash = key_hash(text);
        if (const KeyText* found = find(text, hash)) {
            auto* key = const_cast<KeyText*>(found);
            ++key->refs;
            return key;
        }
        if ((count_ + 1) * 2 > capacity()) rehash(capacity() ? capacity() * 2 : 64);
        void* memory = ::operator new(sizeof(KeyText) + text.size());
        auto* key = new (memory) KeyText{1, uint32_t(text.size()), hash};
        std::memcpy(const_cast<char*>(key->data()), text.data(), text.size());
        insert(key);
        ++count_;
        return key;
    }

    void remove(KeyText* key) noexcept {
        size_t i = key->hash & mask_;
        while (slots_[i] != key)
            i = (i + 1) & mask_;
        // Backward shift: move later members of the probe run into the hole
        // unless their home lies cyclically after the hole.
        for (size_t j = (i + 1) & mask_;; j = (j + 1) & mask_) {
            KeyText* next = slots_[j];
            if (!next) break;
            size_t home = next->hash & mask_;
            bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (stays) continue;
            slots_[i] = next;
            i = j;
        }
        slots_[i] = nullptr;
        --count_;
        key->~KeyText();
        ::operator delete(key);
    }

    size_t count() const noexcept { return count_; }

  private:
    size_t capacity() const noexcept { return slots_ ? mask_ + 1 : 0; }
    void insert(KeyText* key) noexcept {
        size_t i = key->hash & mask_;
        while (slots_[i])
            i = (i + 1) & mask_;
        slots_[i] = key;
    }
    void rehash(size_t capacity) {
        KeyText** old = slots_;
        size_t old_capacity = this->capacity();
        slots_ = static_cast<KeyText**>(std::calloc(capacity, sizeof(KeyText*)));
        if (!slots_) throw std::bad_alloc();
        mask_ = capacity - 1;
        for (size_t i = 0; i < old_capacity; ++i)
            if (old[i]) insert(old[i]);
        std::free(old);
    }

    KeyText** slots_ = nullptr;
    size_t mask_ = 0;
    size_t count_ = 0;
};

InternTable& intern_table() {
    // Never destroyed: keys held by static trees may die after main returns.
    static InternTable* table = new InternTable;
    return *table;
}

uint64_t next_map_seed() noexcept {
    static uint64_t counter = dict_seed();
    counter += 0x9e3779b97f4a7c15ULL;
    return mix(counter);
}

constexpr uint32_t kMinCapacity = 4;

} // namespace

uint64_t dict_seed() {
    static const uint64_t seed =
        mix(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            uint64_t(reinterpret_cast<uintptr_t>(&dict_seed)));
    return seed;
}

const KeyText* find_interned_key(std::string_view text) noexcept {
    return intern_table().find(text, key_hash(text));
}

size_t interned_key_count() noexcept {
    return intern_table().count();
}

DictKey::DictKey(std::string_view text) : key_(intern_table().intern(text)) {}

void DictKey::forget(KeyText* key) noexcept {
    intern_table().remove(key);
}

// ---- pooled blocks ----

namespace {

// Free lists by size in steps of 16 bytes, refilled a chunk at a time. Under
// the address sanitizer every block is its own allocation, so misuse shows.
class BlockPool {
  public:
    void* allocate(size_t bytes) {
#ifndef __SANITIZE_ADDRESS__
        size_t size_class = (bytes + 15) / 16;
        if (size_class < kClasses) {
            FreeBlock*& head = free_[size_class];
            if (!head) refill(size_class);
            FreeBlock* block = head;
            head = block->next;
            return block;
        }
#endif
        return ::operator new(bytes);
    }
    void free(void* block, [[maybe_unused]] size_t bytes) noexcept {
#ifndef __SANITIZE_ADDRESS__
        size_t size_class = (bytes + 15) / 16;
        if (size_class < kClasses) {
            auto* freed = static_cast<FreeBlock*>(block);
            freed->next = free_[size_class];
            free_[size_class] = freed;
            return;
        }
#endif
        ::operator delete(block);
    }

  private:
    static constexpr size_t kClasses = kPooledBlockMax / 16 + 1;
    static constexpr size_t kChunkBytes = 16384;
    struct FreeBlock {
        FreeBlock* next;
    };
    void refill(size_t size_class) {
        // Chunks stay with the pool for the life of the process, linked
        // through their first 16 bytes.
        char* chunk = static_cast<char*>(::operator new(kChunkBytes));
        *reinterpret_cast<char**>(chunk) = chunks_;
        chunks_ = chunk;
        size_t step = size_class * 16;
        FreeBlock* head = nullptr;
        for (size_t at = (kChunkBytes - 16) / step * step; at >= step; at -= step) {
            auto* block = reinterpret_cast<FreeBlock*>(chunk + 16 + at - step);
            block->next = head;
            head = block;
        }
        free_[size_class] = head;
    }
    FreeBlock* free_[kClasses] = {};
    char* chunks_ = nullptr;
};

// Trivially destroyed: blocks may come back after main returns.
constinit BlockPool pool;

BlockPool& block_pool() {
    return pool;
}

} // namespace

void* allocate_block(size_t bytes) {
    return block_pool().allocate(bytes);
}

void free_block(void* block, size_t bytes) noexcept {
    block_pool().free(block, bytes);
}

// ---- layouts ----

// The keys of small dicts, by slot, shared by every dict that received the
// same keys in the same order. A layout holds its parent (one key shorter)
// and its own last key; the parent lists it among its children so the same
// run of insertions finds it again. A layout no dict uses waits among the
// recently unused ones, so a dict built and dropped in a loop finds its
// layout still there; the oldest of those are freed.
struct DictLayout {
    uint32_t refs = 0;  // dicts in it, children, the list of unused ones
    uint32_t count = 0; // keys
    DictLayout* parent = nullptr;
    uint64_t seed = 0;
    uint64_t filter = 0;                                          // a bit per key, see key_bit
    std::vector<std::pair<const KeyText*, DictLayout*>> children; // by the key added
    bool listed = false;                                          // among the unused ones
    bool order_ready = false;
    uint8_t order[Dict::kSmallDictMax] = {}; // slots in iteration order
    KeyText* keys[1];                        // `count` of them, more allocated beyond

    static size_t bytes(uint32_t count) noexcept {
        return sizeof(DictLayout) + sizeof(KeyText*) * (count ? count - 1 : 0);
    }
};

namespace {

// A quick "surely absent" test before a layout's keys are scanned.
uint64_t key_bit(const KeyText* key) noexcept {
    return uint64_t(1) << (key->hash >> 58);
}

DictLayout& root_layout() {
    // Never freed, so never counted down to zero.
    static DictLayout* root = [] {
        auto* layout = new (::operator new(DictLayout::bytes(0))) DictLayout;
        layout->refs = 1;
        return layout;
    }();
    return *root;
}

void destroy(DictLayout* layout) noexcept;

class UnusedLayouts {
  public:
    void add(DictLayout* layout) {
        while (count_ == kKept)
            drop_oldest();
        layout->refs = 1;
        layout->listed = true;
        ring_[(first_ + count_) % kKept] = layout;
        ++count_;
    }

  private:
    static constexpr size_t kKept = 1024;
    void drop_oldest() noexcept {
        DictLayout* oldest = ring_[first_];
        first_ = (first_ + 1) % kKept;
        --count_;
        oldest->listed = false;
        if (--oldest->refs == 0) destroy(oldest);
    }
    DictLayout* ring_[kKept];
    size_t first_ = 0;
    size_t count_ = 0;
};

UnusedLayouts& unused_layouts() {
    static UnusedLayouts* unused = new UnusedLayouts;
    return *unused;
}

void retain(DictLayout* layout) noexcept {
    ++layout->refs;
}

void release(DictLayout* layout) noexcept {
    if (--layout->refs == 0) unused_layouts().add(layout);
}

void destroy(DictLayout* layout) noexcept {
    auto& siblings = layout->parent->children;
    for (auto& entry : siblings) {
        if (entry.second == layout) {
            entry = siblings.back();
            siblings.pop_back();
            break;
        }
    }
    DictKey::release(layout->keys[layout->count - 1]);
    DictLayout* parent = layout->parent;
    layout->~DictLayout();
    ::operator delete(layout);
    release(parent);
}

// The layout with one more key. The child found is moved to the front, so
// the transitions a program keeps taking are found first.
DictLayout* extend(DictLayout* from, KeyText* key) {
    auto& children = from->children;
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i].first != key) continue;
        if (i > 0) std::swap(children[i], children[0]);
        return children[0].second;
    }
    uint32_t count = from->count + 1;
    auto* layout = new (::operator new(DictLayout::bytes(count))) DictLayout;
    std::copy(from->keys, from->keys + from->count, layout->keys);
    layout->keys[from->count] = key;
    layout->count = count;
    layout->seed = next_map_seed();
    layout->filter = from->filter | key_bit(key);
    layout->parent = from;
    try {
        children.emplace_back(key, layout);
    } catch (...) {
        ::operator delete(layout);
        throw;
    }
    ++key->refs;
    retain(from);
    // Nothing holds it yet: it waits among the unused until a dict takes it.
    unused_layouts().add(layout);
    return layout;
}

const uint8_t* iteration_order(DictLayout* layout) noexcept {
    if (!layout->order_ready) {
        uint64_t rank[Dict::kSmallDictMax];
        for (uint32_t i = 0; i < layout->count; ++i) {
            rank[i] = mix(layout->keys[i]->hash ^ layout->seed);
            layout->order[i] = uint8_t(i);
        }
        std::sort(layout->order, layout->order + layout->count,
                  [&rank](uint8_t a, uint8_t b) { return rank[a] < rank[b]; });
        layout->order_ready = true;
    }
    return layout->order;
}

uint32_t small_capacity(size_t wanted) noexcept {
    return wanted <= 4 ? 4 : wanted <= 8 ? 8 : Dict::kSmallDictMax;
}

Value* allocate_values(uint32_t capacity) {
    return static_cast<Value*>(allocate_block(capacity * sizeof(Value)));
}

void free_values(Value* values, uint32_t capacity) noexcept {
    free_block(values, capacity * sizeof(Value));
}

} // namespace

// ---- the dict ----

Dict::Dict(size_t expected) {
    if (expected > kSmallDictMax) {
        uint32_t capacity = kMinCapacity;
        while (capacity * 3 < expected * 4)
            capacity *= 2;
        make_table(capacity);
    } else if (expected > 0) {
        // A literal's keys, usually all different: exactly that many slots.
        capacity_ = uint32_t(expected);
        values_ = allocate_values(capacity_);
    }
}

Dict::Dict(const Dict& other)
    : layout_(other.layout_), seed_(other.seed_), limit_(other.limit_), size_(other.size_),
      shift_(other.shift_), table_(other.table_) {
    if (table_) {
        uint32_t capacity = limit_;
        auto* block =
            static_cast<char*>(::operator new(capacity*(sizeof(Value) + sizeof(KeyText*))));
        values_ = reinterpret_cast<Value*>(block);
        auto** keys = reinterpret_cast<KeyText**>(block + capacity * sizeof(Value));
        keys_ = keys;
        capacity_ = capacity;
        for (uint32_t i = 0; i < capacity; ++i) {
            keys[i] = other.keys_[i];
            if (!keys[i]) continue;
            ++keys[i]->refs;
            new (&values_[i]) Value(other.values_[i]);
        }
        return;
    }
    if (size_ == 0) return;
    capacity_ = small_capacity(size_ + 1);
    values_ = allocate_values(capacity_);
    keys_ = other.keys_;
    for (uint32_t i = 0; i < size_; ++i)
        new (&values_[i]) Value(other.values_[i]);
    retain(layout_);
}

Dict::~Dict() {
    release_storage();
}

void Dict::release_storage() noexcept {
    if (table_) {
        for (uint32_t i = 0; i < limit_; ++i) {
            if (!keys_[i]) continue;
            values_[i].~Value();
            DictKey::release(const_cast<KeyText*>(keys_[i]));
        }
        ::operator delete(values_);
        return;
    }
    for (uint32_t i = 0; i < size_; ++i)
        values_[i].~Value();
    if (values_) free_values(values_, capacity_);
    if (layout_) release(layout_);
}

uint32_t Dict::home(const KeyText* key) const noexcept {
    return uint32_t(((key->hash ^ seed_) * 0x9e3779b97f4a7c15ULL) >> shift_);
}

const Value* Dict::probe(const KeyText* key, uint32_t& hint) const noexcept {
    if (size_ == 0 || !key) return nullptr;
    if (!table_) {
        if (!(layout_->filter & key_bit(key))) return nullptr;
        for (uint32_t i = 0; i < size_; ++i) {
            if (keys_[i] == key) {
                hint = i;
                return &values_[i];
            }
        }
        return nullptr;
    }
    uint32_t mask = limit_ - 1;
    for (uint32_t i = home(key);; i = (i + 1) & mask) {
        if (keys_[i] == key) {
            hint = i;
            return &values_[i];
        }
        if (!keys_[i]) return nullptr;
    }
}

const Value* Dict::find(const KeyText* key) const noexcept {
    uint32_t hint = 0;
    return probe(key, hint);
}

const Value* Dict::find(std::string_view text) const noexcept {
    if (size_ == 0) return nullptr;
    return find(text, key_hash(text));
}

// Keys carry their hash, so a text is found without the intern table: the
// hash picks the candidates and the bytes confirm them.
const Value* Dict::find(std::string_view text, uint64_t hash) const noexcept {
    if (size_ == 0) return nullptr;
    if (!table_) {
        if (!(layout_->filter & (uint64_t(1) << (hash >> 58)))) return nullptr;
        for (uint32_t i = 0; i < size_; ++i)
            if (keys_[i]->hash == hash && keys_[i]->text() == text) return &values_[i];
        return nullptr;
    }
    uint32_t mask = limit_ - 1;
    for (uint32_t i = uint32_t(((hash ^ seed_) * 0x9e3779b97f4a7c15ULL) >> shift_);;
         i = (i + 1) & mask) {
        const KeyText* key = keys_[i];
        if (!key) return nullptr;
        if (key->hash == hash && key->text() == text) return &values_[i];
    }
}

Value* Dict::find_mutable(std::string_view text) noexcept {
    return const_cast<Value*>(find(text));
}

void Dict::insert_or_assign(const KeyText* key, Value value) {
    if (!table_ && size_ < capacity_) {
        // A small dict with room, as while a literal is built. A key the
        // filter cannot rule out is looked for among the few keys first.
        if (layout_ && (layout_->filter & key_bit(key))) {
            for (uint32_t i = 0; i < size_; ++i) {
                if (keys_[i] == key) {
                    values_[i] = std::move(value);
                    return;
                }
            }
        }
        // A new key: the layout one key longer is usually the first child.
        DictLayout* from = layout_ ? layout_ : &root_layout();
        DictLayout* next = !from->children.empty() && from->children[0].first == key
                               ? from->children[0].second
                               : extend(from, const_cast<KeyText*>(key));
        new (&values_[size_]) Value(std::move(value));
        ++next->refs;
        if (layout_) --layout_->refs; // its child `next` still holds it
        layout_ = next;
        keys_ = next->keys;
        limit_ = ++size_;
        return;
    }
    uint32_t hint = 0;
    if (const Value* found = probe(key, hint)) {
        *const_cast<Value*>(found) = std::move(value);
        return;
    }
    insert_new(const_cast<KeyText*>(key), std::move(value));
}

void Dict::insert_or_assign(std::string_view text, Value value) {
    DictKey key(text);
    insert_or_assign(key.get(), std::move(value));
}

void Dict::insert_new(KeyText* key, Value&& value) {
    if (!table_ && size_ == kSmallDictMax) make_table(kSmallDictMax * 4);
    if (table_) {
        if ((size_ + 1) * 4 > limit_ * 3) make_table(limit_ * 2);
        ++key->refs;
        place(key, std::move(value));
        ++size_;
        return;
    }
    DictLayout* next = extend(layout_ ? layout_ : &root_layout(), key);
    if (size_ == capacity_) {
        uint32_t capacity = small_capacity(size_ + 1);
        Value* grown = allocate_values(capacity);
        if (size_ > 0) std::memcpy(static_cast<void*>(grown), values_, size_ * sizeof(Value));
        if (values_) free_values(values_, capacity_);
        values_ = grown;
        capacity_ = capacity;
    }
    new (&values_[size_]) Value(std::move(value));
    retain(next);
    if (layout_) --layout_->refs; // its child `next` still holds it
    layout_ = next;
    keys_ = next->keys;
    limit_ = ++size_;
}

// Moves the entries into a table of `capacity` slots (a power of two).
void Dict::make_table(uint32_t capacity) {
    auto* block = static_cast<char*>(::operator new(capacity*(sizeof(Value) + sizeof(KeyText*))));
    Dict old(std::move(*this));
    values_ = reinterpret_cast<Value*>(block);
    auto** keys = reinterpret_cast<KeyText**>(block + capacity * sizeof(Value));
    std::fill(keys, keys + capacity, nullptr);
    keys_ = keys;
    limit_ = capacity_ = capacity;
    shift_ = 64 - uint32_t(__builtin_ctz(capacity));
    seed_ = old.table_ ? old.seed_ : next_map_seed();
    table_ = true;
    size_ = old.size_;
    // Entries move over as words: the old storage then holds nothing.
    for (uint32_t i = 0; i < old.limit_; ++i) {
        KeyText* key = const_cast<KeyText*>(old.keys_[i]);
        if (!key) continue;
        if (!old.table_) ++key->refs; // the layout's reference stays with the layout
        place(key, std::move(old.values_[i]));
        old.values_[i].~Value();
    }
    if (old.table_) {
        // Keys moved with their references: forget them in the old table.
        std::fill(const_cast<KeyText**>(old.keys_), const_cast<KeyText**>(old.keys_) + old.limit_,
                  nullptr);
    } else {
        old.size_ = 0; // values are gone; the layout and block are released
    }
}

void Dict::place(KeyText* key, Value&& value) noexcept {
    uint32_t mask = limit_ - 1;
    uint32_t i = home(key);
    while (keys_[i])
        i = (i + 1) & mask;
    const_cast<KeyText**>(keys_)[i] = key;
    new (&values_[i]) Value(std::move(value));
}

bool Dict::erase(const KeyText* key) {
    uint32_t at = 0;
    if (!probe(key, at)) return false;
    if (table_) {
        auto** keys = const_cast<KeyText**>(keys_);
        values_[at].~Value();
        DictKey::release(keys[at]);
        // Backward shift: later members of the probe run move into the hole
        // unless their home lies cyclically after it.
        uint32_t mask = limit_ - 1;
        for (uint32_t j = (at + 1) & mask;; j = (j + 1) & mask) {
            KeyText* next = keys[j];
            if (!next) break;
            uint32_t h = home(next);
            bool stays = at <= j ? (at < h && h <= j) : (at < h || h <= j);
            if (stays) continue;
            keys[at] = next;
            new (&values_[at]) Value(std::move(values_[j]));
            values_[j].~Value();
            at = j;
        }
        keys[at] = nullptr;
        --size_;
        return true;
    }
    // The remaining keys in their order make the layout; values close up.
    DictLayout* layout = &root_layout();
    for (uint32_t i = 0; i < size_; ++i)
        if (i != at) layout = extend(layout, keys_[i]);
    values_[at].~Value();
    std::memmove(static_cast<void*>(values_ + at), values_ + at + 1,
                 (size_ - at - 1) * sizeof(Value));
    --size_;
    DictLayout* old = layout_;
    if (size_ > 0) {
        retain(layout);
        layout_ = layout;
        keys_ = layout->keys;
    } else {
        layout_ = nullptr;
        keys_ = nullptr;
    }
    limit_ = size_;
    release(old);
    return true;
}

bool Dict::erase(std::string_view text) {
    const KeyText* key = find_interned_key(text);
    return key && erase(key);
}

// ---- iteration ----

Dict::iterator::iterator(const Dict& dict, uint32_t at) noexcept
    : keys_(dict.keys_), values_(dict.values_),
      order_(dict.table_ || dict.size_ == 0 ? nullptr : iteration_order(dict.layout_)), at_(at),
      end_(dict.limit_) {
    skip();
}

std::pair<std::string_view, const Value&> Dict::iterator::operator*() const noexcept {
    uint32_t at = slot();
    return {keys_[at]->text(), values_[at]};
}

Dict::iterator& Dict::iterator::operator++() noexcept {
    ++at_;
    skip();
    return *this;
}

void Dict::iterator::skip() noexcept {
    if (order_) return;
    while (at_ != end_ && !keys_[at_])
        ++at_;
}

std::vector<std::pair<std::string_view, const Value*>> Dict::sorted_entries() const {
    std::vector<std::pair<std::string_view, const Value*>> entries;
    entries.reserve(size_);
    for (const auto& [key, value] : *this)
        entries.emplace_back(key, &value);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries;
}

} // namespace drevel
