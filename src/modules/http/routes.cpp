#include "modules/http/routes.h"

#include <deque>
#include <mutex>
#include <optional>

#include "modules/http/protocol.h"
#include "modules/http/static_files.h"

namespace drevel::http {

namespace {

struct Route {
    RouteMatch::Kind kind;
    std::string path;     // a page's path, a handler's pattern, a folder's prefix
    std::string response; // Page
    std::string method;   // Handler; empty for any
    Value function;       // Handler
    std::string folder;   // Static
};

// A deque, so that a route stays where it is while later ones are added (a
// handler may add routes while a page's response is being sent).
struct RouteTable {
    std::mutex lock;
    std::deque<Route> routes;
    bool has_application_routes = false;
    size_t body_limit = kDefaultBodyLimit;
};

RouteTable& route_table() {
    static RouteTable table;
    return table;
}

void add(Route route) {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    if (route.kind != RouteMatch::Kind::Page) table.has_application_routes = true;
    table.routes.push_back(std::move(route));
}

// The next segment of a path split at "/", advancing past it.
std::string_view next_segment(std::string_view& rest) {
    const size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    return segment;
}

// The path below a static prefix, decoded ("" for the folder itself);
// nothing when the path is not below the prefix or names something outside
// the folder ("..", ".", NUL).
std::optional<std::string> path_below(std::string_view prefix, std::string_view path) {
    while (prefix.ends_with('/'))
        prefix.remove_suffix(1);
    if (!path.starts_with(prefix)) return std::nullopt;
    path.remove_prefix(prefix.size());
    if (!path.starts_with('/')) return std::nullopt;
    std::string out;
    while (!path.empty()) {
        const std::string segment = percent_decode(next_segment(path), false);
        if (segment.empty()) continue;
        if (segment == "." || segment == ".." || segment.find('/') != std::string::npos ||
            segment.find('\0') != std::string::npos) {
            return std::nullopt;
        }
        if (!out.empty()) out += '/';
        out += segment;
    }
    return out;
}

} // namespace

void add_route(std::string path, std::string_view content) {
    add(Route{RouteMatch::Kind::Page, std::move(path), page_response(content), {}, {}, {}});
}

void add_handler(std::string method, std::string pattern, Value function) {
    add(Route{RouteMatch::Kind::Handler,
              std::move(pattern),
              {},
              std::move(method),
              std::move(function),
              {}});
}

void add_static(std::string prefix, std::string folder) {
    add(Route{RouteMatch::Kind::Static, std::move(prefix), {}, {}, {}, std::move(folder)});
}

void set_body_limit(size_t bytes) {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    table.body_limit = bytes;
}

size_t body_limit() {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    return table.body_limit;
}

bool has_application_routes() {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    return table.has_application_routes;
}

std::string_view response_for(std::string_view path) {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    for (const Route& route : table.routes) {
        if (route.kind == RouteMatch::Kind::Page && route.path == path) return route.response;
    }
    return kNotFoundResponse;
}

Value match_pattern(std::string_view pattern, std::string_view path) {
    if (!pattern.starts_with('/') || !path.starts_with('/')) return Value::null();
    pattern.remove_prefix(1);
    path.remove_prefix(1);
    Dict params;
    for (;;) {
        if (pattern == "*") {
            params.insert_or_assign("*", Value::string(percent_decode(path, false)));
            return Value::dict(std::move(params));
        }
        const bool pattern_ends = pattern.find('/') == std::string_view::npos;
        const bool path_ends = path.find('/') == std::string_view::npos;
        const std::string_view want = next_segment(pattern);
        const std::string segment = percent_decode(next_segment(path), false);
        if (want.size() > 1 && want.front() == ':') {
            if (segment.empty()) return Value::null();
            params.insert_or_assign(want.substr(1), Value::string(segment));
        } else if (segment != want) {
            return Value::null();
        }
        if (pattern_ends || path_ends) {
            return pattern_ends && path_ends ? Value::dict(std::move(params)) : Value::null();
        }
    }
}

RouteMatch find_route(std::string_view page_path, const RequestLine* line) {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    RouteMatch match;
    for (const Route& route : table.routes) {
        switch (route.kind) {
        case RouteMatch::Kind::Page:
            if (route.path != page_path) continue;
            match.kind = RouteMatch::Kind::Page;
            match.response = route.response;
            return match;
        case RouteMatch::Kind::Handler: {
            if (line == nullptr) continue;
            Value params = match_pattern(route.path, line->path);
            if (params.is_null()) continue;
            if (!route.method.empty() && route.method != line->method &&
                !(route.method == "GET" && line->method == "HEAD")) {
                if (match.allow.find(route.method) == std::string::npos) {
                    if (!match.allow.empty()) match.allow += ", ";
                    match.allow += route.method;
                }
                continue;
            }
            match.kind = RouteMatch::Kind::Handler;
            match.function = route.function;
            match.params = std::move(params);
            return match;
        }
        case RouteMatch::Kind::Static: {
            if (line == nullptr || (line->method != "GET" && line->method != "HEAD")) continue;
            const std::optional<std::string> below = path_below(route.path, line->path);
            std::string file;
            if (!below || !find_static(route.folder, *below, file)) continue;
            match.kind = RouteMatch::Kind::Static;
            match.file = std::move(file);
            return match;
        }
        default: continue;
        }
    }
    if (!match.allow.empty()) {
        match.kind = RouteMatch::Kind::WrongMethod;
        return match;
    }
    match.kind = RouteMatch::Kind::NotFound;
    match.response = kNotFoundResponse;
    return match;
}

} // namespace drevel::http
