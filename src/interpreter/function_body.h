// A function value's body: the shared definition from the syntax tree, held
// by reference count so that it outlives the tree it was parsed in.
#pragma once

#include <memory>

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
};

} // namespace drevel
