// The http module's handling of bytes from the network and from scripts:
// the request path of one received buffer (as the server reads it, at most
// the buffer's size), the route lookup and the response bytes; whole
// requests for handlers read by the request reader, fed at once and in two
// pieces, with the request dict made from them; and the client's URL
// splitting with the request it builds.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "modules/http/protocol.h"
#include "modules/http/request.h"
#include "modules/http/routes.h"

namespace {

bool inside(std::string_view part, const char* begin, size_t size) {
    return part.data() >= begin && part.data() + part.size() <= begin + size;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    drevel::http::add_route("/", "home");
    drevel::http::add_route("/about", "<h1>About</h1>");
    drevel::http::add_route("/caf\xC3\xA9", "accent");
    drevel::http::add_route("/\xEF\xBF\xBD", "replaced");
    drevel::http::add_handler("", "/notes/:id", drevel::Value());
    drevel::http::add_handler("POST", "/form", drevel::Value());
    drevel::http::add_handler("GET", "/files/*", drevel::Value());
    drevel::http::add_static("/static", "/nonexistent-drevel-fuzz-folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace drevel::http;
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // Server side: one receive fills at most the request buffer.
    const std::string_view received = input.substr(0, kRequestBufferSize);
    char scratch[3 * kRequestBufferSize];
    const std::string_view path = request_path_of(received, scratch);
    if (path.empty()) std::abort();
    if (path != "/" && !inside(path, received.data(), received.size()) &&
        !inside(path, scratch, sizeof scratch)) {
        std::abort();
    }
    for (char c : path) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') std::abort();
    }
    const std::string_view response = response_for(path);
    if (response != kNotFoundResponse && !response.starts_with("HTTP/1.1 200 OK\r\n")) std::abort();

    // Whole requests: one piece or two must read the same.
    using State = RequestReader::State;
    static RequestReader whole, split;
    whole.reset(4096);
    const size_t used = whole.feed(input.data(), input.size());
    if (used > input.size()) std::abort();
    const size_t cut = size > 0 ? data[0] % (size + 1) : 0;
    split.reset(4096);
    size_t split_used = split.feed(input.data(), cut);
    if (split.state() == State::Reading) {
        split_used += split.feed(input.data() + split_used, input.size() - split_used);
    }
    if (whole.state() == State::Complete) {
        if (split.state() != State::Complete || split_used != used ||
            split.body() != whole.body() || split.target() != whole.target() ||
            split.headers().size() != whole.headers().size() || whole.body().size() > 4096) {
            std::abort();
        }
        const drevel::Value request =
            request_value(whole, drevel::Value(), "127.0.0.1", drevel::Value());
        if (request.kind() != drevel::ValueKind::Dict) std::abort();
    }
    RequestLine line;
    if (split_request_line(input, line)) {
        if (line.target.empty() || line.target.front() != '/') std::abort();
        (void)find_route(path, &line);
        (void)match_pattern("/notes/:id/*", line.path);
    }
    (void)decode_fields(input);

    // Client side.
    UrlParts parts;
    if (split_url(input, parts) == UrlResult::Ok) {
        if (!inside(parts.host, input.data(), input.size()) ||
            (parts.path != "/" && !inside(parts.path, input.data(), input.size()))) {
            std::abort();
        }
        if (parts.host.find('/') != std::string_view::npos || parts.path.empty() ||
            parts.path.front() != '/') {
            std::abort();
        }
        const std::string request = request_text("GET", parts.host, parts.path, input);
        if (!request.starts_with("GET ")) std::abort();
    }
    (void)parse_port(input);
    return 0;
}
