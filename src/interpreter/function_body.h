// A function value's body: the shared definition from the syntax tree, held
// by reference count so that it outlives the tree it was parsed in.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "interpreter/value.h"
#include "parser/ast.h"

namespace drevel {

struct FunctionBody : HeapObject {
    explicit FunctionBody(std::shared_ptr<const FunctionDefinition> d)
        : HeapObject(ValueKind::Function), definition(std::move(d)), params(definition->params),
          param_symbols(definition->param_symbols), body(definition->body),
          nesting(definition->nesting), arity(uint32_t(params.size())) {}
    const std::shared_ptr<const FunctionDefinition> definition;
    const std::vector<std::string>& params;
    const std::vector<Symbol>& param_symbols;
    const Block& body;
    const uint32_t nesting;
    const uint32_t arity;
    // Laid out when the definition is resolved (frame_slots.cpp), when the
    // body keeps its names to itself: its parameters, then every other name
    // it binds, in the order of the frame names that stand for them. Empty
    // when the body reads and writes the names themselves.
    std::vector<Symbol> frame_of;
    uint32_t frame_size = 0; // frame_of.size(), read by every call
    // The declarations of the interpreter that last set up the frame cells
    // for this body.
    mutable uint64_t globals_stamp = 0;
};

// One more reference to a function body for as long as the holder lives, so
// that a release cannot be forgotten on any way out.
class FunctionHold {
  public:
    explicit FunctionHold(FunctionBody* body) noexcept : body_(body) { ++body_->refs; }
    ~FunctionHold() {
        if (--body_->refs == 0) delete body_;
    }
    FunctionHold(const FunctionHold&) = delete;
    FunctionHold& operator=(const FunctionHold&) = delete;
    const FunctionBody& body() const noexcept { return *body_; }

  private:
    FunctionBody* body_;
};

} // namespace drevel
