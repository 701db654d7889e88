// Frame cells: the names of a function that runs no other script code are
// read and written in cells no other function names.
//
// Scopes are dynamic: any function a body calls may read the body's locals,
// so a call binds each local in its name's cell, keeping the binding it
// hides, and gives that back on return. A body that calls no script code at
// all (no user function, no plain call that is not a builtin, no native
// function that calls back, no `use`, no `global`) keeps its names to itself
// while it runs, which resolving proves from the body alone. Such a body
// gets a frame: its parameters, then every other name it binds, each in the
// position of a frame name ("frame 0", "frame 1", ... : texts no script can
// name), and its nodes read and write the frame names instead. No other
// such body runs before its call returns (none calls another), so the frame
// names' cells are empty when the call starts: binding one hides nothing,
// and the call empties them when it returns. A frame name the call has not
// bound yet reads its name's own binding (a caller's, or a global), as the
// scope rule would; one whose name is declared global is written through
// the name's global.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "parser/ast.h"

namespace drevel {

struct FunctionBody;

// The most names a frame holds; a body binding more keeps the usual cells.
inline constexpr uint32_t kMaxFrameNames = 64;

// The first of the frame names, interned in a row: frame name k is
// first_frame_name() + k.
Symbol first_frame_name();
inline bool is_frame_name(Symbol name) {
    return name - first_frame_name() < kMaxFrameNames;
}

// A name kept in a node's pointer-sized word: read as the word's low half,
// which loads as a symbol does.
static_assert(std::endian::native == std::endian::little);
inline Symbol name_word(const void* word) {
    Symbol name;
    std::memcpy(&name, word, sizeof name);
    return name;
}

// The symbol a statement binds in the running call's scope (a let, an
// assignment, a definition, a loop or catch variable); nullptr for the
// statements that bind none there.
const Symbol* bound_symbol(const Stmt& stmt);
// The name such a statement binds, kept in its node's number-handler word
// when the tree is resolved (statements have no number handler): its
// symbol, or its frame name.
inline Symbol bound_name(const Stmt& stmt) {
    return name_word(&stmt.number_handler);
}
inline void set_bound_name(const Stmt& stmt, Symbol name) {
    stmt.number_handler = reinterpret_cast<NodeHandler>(uintptr_t(name));
}
// The name an identifier reads, kept in its node's pointer word when the
// tree is resolved: its symbol, or its frame name.
inline Symbol read_name(const IdentifierExpr& expr) {
    return name_word(&expr.bound);
}
inline void set_read_name(const IdentifierExpr& expr, Symbol name) {
    expr.bound = reinterpret_cast<const void*>(uintptr_t(name));
}

// Lays out the frame of a resolved function body when frames are allowed
// (fast paths on, no traces) and it runs no other script code, and marks its
// nodes with their frame names; leaves the body on the names' cells
// otherwise. Runs after resolving gave the identifiers their symbols.
void lay_out_frame(FunctionBody& body, bool allowed);

} // namespace drevel
