#include "interpreter/dict.h"

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

uint64_t hash_text(std::string_view text) noexcept {
    // FNV-1a from the process seed, then mixed: key texts are short.
    uint64_t h = dict_seed() ^ 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    return mix(h);
}

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
        uint64_t hash = hash_text(text);
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
    return intern_table().find(text, hash_text(text));
}

size_t interned_key_count() noexcept {
    return intern_table().count();
}

DictKey::DictKey(std::string_view text) : key_(intern_table().intern(text)) {}

void DictKey::forget(KeyText* key) noexcept {
    intern_table().remove(key);
}

// ---- the table ----

Dict::Dict(size_t expected) : seed_(next_map_seed()) {
    if (expected == 0) return;
    uint32_t capacity = kMinCapacity;
    while (capacity * 3 < expected * 4)
        capacity *= 2;
    slots_ = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
    if (!slots_) throw std::bad_alloc();
    mask_ = capacity - 1;
    shift_ = 64 - uint32_t(__builtin_ctz(capacity));
}

Dict::Dict(const Dict& other)
    : mask_(other.mask_), size_(other.size_), shift_(other.shift_), seed_(other.seed_) {
    if (!other.slots_) return;
    slots_ = static_cast<Slot*>(std::calloc(size_t(mask_) + 1, sizeof(Slot)));
    if (!slots_) throw std::bad_alloc();
    for (uint32_t i = 0; i <= mask_; ++i) {
        const Slot& from = other.slots_[i];
        if (!from.key) continue;
        ++from.key->refs;
        slots_[i].key = from.key;
        new (&slots_[i].value) Value(from.value);
    }
}

Dict::~Dict() {
    if (!slots_) return;
    for (uint32_t i = 0; i <= mask_; ++i) {
        if (!slots_[i].key) continue;
        slots_[i].value.~Value();
        DictKey::release(slots_[i].key);
    }
    std::free(slots_);
}

const Value* Dict::find(const KeyText* key) const noexcept {
    uint32_t hint = 0;
    return find(key, hint);
}

const Value* Dict::find(std::string_view text) const noexcept {
    if (size_ == 0) return nullptr;
    const KeyText* key = find_interned_key(text);
    return key ? find(key) : nullptr;
}

const Value* Dict::probe(const KeyText* key, uint32_t& hint) const noexcept {
    if (size_ == 0 || !key) return nullptr;
    for (uint32_t i = home(key);; i = (i + 1) & mask_) {
        const Slot& slot = slots_[i];
        if (slot.key == key) {
            hint = i;
            return &slot.value;
        }
        if (!slot.key) return nullptr;
    }
}

void Dict::insert_or_assign(const KeyText* key, Value value) {
    if (slots_) {
        for (uint32_t i = home(key);; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.key == key) {
                slot.value = std::move(value);
                return;
            }
            if (!slot.key) break;
        }
    }
    if (!slots_ || (size_ + 1) * 4 > (mask_ + 1) * 3) grow();
    ++const_cast<KeyText*>(key)->refs;
    place(const_cast<KeyText*>(key), std::move(value));
    ++size_;
}

void Dict::insert_or_assign(std::string_view text, Value value) {
    DictKey key(text);
    insert_or_assign(key.get(), std::move(value));
}

void Dict::place(KeyText* key, Value&& value) {
    uint32_t i = home(key);
    while (slots_[i].key)
        i = (i + 1) & mask_;
    slots_[i].key = key;
    new (&slots_[i].value) Value(std::move(value));
}

void Dict::grow() {
    Slot* old = slots_;
    uint32_t old_capacity = slots_ ? mask_ + 1 : 0;
    uint32_t capacity = old_capacity ? old_capacity * 2 : kMinCapacity;
    slots_ = static_cast<Slot*>(std::calloc(capacity, sizeof(Slot)));
    if (!slots_) {
        slots_ = old;
        throw std::bad_alloc();
    }
    mask_ = capacity - 1;
    shift_ = 64 - uint32_t(__builtin_ctz(capacity));
    for (uint32_t i = 0; i < old_capacity; ++i) {
        if (!old[i].key) continue;
        place(old[i].key, std::move(old[i].value));
        old[i].value.~Value();
    }
    std::free(old);
}

// ---- iteration ----

std::pair<std::string_view, const Value&> Dict::iterator::operator*() const noexcept {
    return {at_->key->text(), at_->value};
}

Dict::iterator& Dict::iterator::operator++() noexcept {
    ++at_;
    skip();
    return *this;
}

void Dict::iterator::skip() noexcept {
    while (at_ != end_ && !at_->key)
        ++at_;
}

Dict::iterator Dict::begin() const noexcept {
    return iterator(slots_, slots_ ? slots_ + mask_ + 1 : slots_);
}

Dict::iterator Dict::end() const noexcept {
    const Slot* last = slots_ ? slots_ + mask_ + 1 : slots_;
    return iterator(last, last);
}

} // namespace drevel
