#include "modules/http/routes.h"

#include <mutex>
#include <vector>

#include "modules/http/protocol.h"

namespace drevel::http {

namespace {

struct Route {
    std::string path;
    std::string response;
};

struct RouteTable {
    std::mutex lock;
    std::vector<Route> routes;
};

RouteTable& route_table() {
    static RouteTable table;
    return table;
}

} // namespace

void add_route(std::string path, std::string_view content) {
    Route route{std::move(path), page_response(content)};
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    table.routes.push_back(std::move(route));
}

std::string_view response_for(std::string_view path) {
    RouteTable& table = route_table();
    std::lock_guard guard(table.lock);
    for (const Route& route : table.routes) {
        if (route.path == path) return route.response;
    }
    return kNotFoundResponse;
}

} // namespace drevel::http
