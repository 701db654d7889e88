#include "parser/symbols.h"

#include <deque>
#include <unordered_map>

namespace drevel {

namespace {
struct SymbolTable {
    std::deque<std::string> names; // stable addresses
    std::unordered_map<std::string_view, Symbol> ids;
};
SymbolTable& table() {
    static SymbolTable instance;
    return instance;
}
} // namespace

Symbol intern(std::string_view name) {
    SymbolTable& t = table();
    auto it = t.ids.find(name);
    if (it != t.ids.end()) return it->second;
    Symbol id = Symbol(t.names.size());
    t.names.emplace_back(name);
    t.ids.emplace(t.names.back(), id);
    return id;
}

const std::string& symbol_name(Symbol symbol) {
    return table().names[symbol];
}

Symbol symbol_count() {
    return Symbol(table().names.size());
}

} // namespace drevel
