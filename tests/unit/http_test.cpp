// The http module's pure pieces: request paths, responses, status lines,
// JSON text, URL splitting and request bytes, the dispatch messages and the
// order of the server's connections.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "lexer/unicode.h"
#include "modules/http/connections.h"
#include "modules/http/protocol.h"
#include "modules/http/routes.h"
#include "native_call.h"

using namespace drevel;
using namespace drevel::http;

namespace {

std::string path_of(std::string_view received) {
    std::vector<char> scratch(3 * received.size() + 1);
    return std::string(request_path_of(received, scratch.data()));
}

// The request path the slow way: decode everything, split it all.
std::string reference_path(std::string_view received) {
    const std::string text = utf8_lossy(received);
    std::vector<std::string> pieces;
    std::string piece;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t at = pos;
        if (is_white_space(next_code_point(text, pos))) {
            if (!piece.empty()) pieces.push_back(piece);
            piece.clear();
        } else {
            piece.append(text, at, pos - at);
        }
    }
    if (!piece.empty()) pieces.push_back(piece);
    return pieces.size() >= 2 ? pieces[1] : "/";
}

NativeContext natives;

Value call(std::string_view name, std::vector<Value> args) {
    Value result;
    EXPECT_TRUE(
        testing_support::call_module_function(name, args.data(), args.size(), natives, result))
        << name;
    return result;
}

std::string error_of(const Value& v) {
    return v.is_error() ? std::string(v.text()) : "<not an error>";
}

} // namespace

TEST(HttpRequestPath, PiecesOfTheRequestLine) {
    EXPECT_EQ(path_of("GET /about HTTP/1.1\r\nHost: x\r\n\r\n"), "/about");
    EXPECT_EQ(path_of("GET /x?y=1 HTTP/1.1\r\n"), "/x?y=1");
    EXPECT_EQ(path_of("POST /form"), "/form");
    EXPECT_EQ(path_of("  \t GET\r\n\r\n/spaced   HTTP/1.1"), "/spaced");
    EXPECT_EQ(path_of(""), "/");
    EXPECT_EQ(path_of("GET"), "/");
    EXPECT_EQ(path_of("GET    "), "/");
    EXPECT_EQ(path_of("\r\n\r\n"), "/");
    // The method is not looked at, and any bytes make up a path.
    EXPECT_EQ(path_of("x y"), "y");
    EXPECT_EQ(path_of(std::string_view("GET /a\0b HTTP/1.1", 17)), std::string("/a\0b", 4));
}

TEST(HttpRequestPath, UnicodeWhiteSpaceSeparates) {
    EXPECT_EQ(path_of("GET\u3000/wide\u00A0rest"), "/wide");
    EXPECT_EQ(path_of("GET\xC2\x85/next-line\u2028x"), "/next-line");
    // Non-breaking look-alikes that are not white space stay in the path.
    EXPECT_EQ(path_of("GET /zero\u200Bwidth x"), "/zero\u200Bwidth");
    EXPECT_EQ(path_of("GET /caf\u00E9 x"), "/caf\u00E9");
}

TEST(HttpRequestPath, InvalidUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(path_of("GET /a\xFF"
                      "b HTTP/1.1"),
              "/a\uFFFDb");
    // A truncated sequence at the end of the buffer, and one cut by a space.
    EXPECT_EQ(path_of("GET /end\xE2\x82"), "/end\uFFFD");
    EXPECT_EQ(path_of("GET /cut\xE2\x82 x"), "/cut\uFFFD");
    // An encoded surrogate is three bad bytes, each replaced.
    EXPECT_EQ(path_of("GET /s\xED\xA0\x80"), "/s\uFFFD\uFFFD\uFFFD");
    // A real U+FFFD is kept as it is, and points into the request.
    const std::string_view real = "GET /r\uFFFD x";
    char scratch[64];
    const std::string_view path = request_path_of(real, scratch);
    EXPECT_EQ(path, "/r\uFFFD");
    EXPECT_EQ(path.data(), real.data() + 4);
    // Bad bytes in the method do not disturb the path.
    EXPECT_EQ(path_of("\xFF\xFE /ok x"), "/ok");
}

TEST(HttpRequestPath, AgreesWithFullDecodingOnRandomBytes) {
    // Bytes chosen to hit white space (ASCII and multi-byte), valid and broken
    // sequences; every buffer must split exactly as decoding it whole does.
    const std::vector<std::string> atoms = {" ",
                                            "\t",
                                            "\r\n",
                                            "a",
                                            "/",
                                            "?",
                                            "\xC2\x85",
                                            "\xC2\xA0",
                                            "\xE3\x80\x80",
                                            "\xE2\x80\xA8",
                                            "\xE2\x80\x8B",
                                            "\xC3\xA9",
                                            "\xF0\x9F\x98\x80",
                                            "\xFF",
                                            "\x80",
                                            "\xC2",
                                            "\xE3\x80",
                                            "\xED\xA0\x80",
                                            "\xF4\x90\x80\x80",
                                            "\xEF\xBF\xBD",
                                            std::string(1, '\0')};
    std::mt19937 random(12345);
    for (int round = 0; round < 20000; ++round) {
        std::string bytes;
        const int length = int(random() % 12);
        for (int i = 0; i < length; ++i)
            bytes += atoms[random() % atoms.size()];
        if (bytes.size() > kRequestBufferSize) bytes.resize(kRequestBufferSize);
        ASSERT_EQ(path_of(bytes), reference_path(bytes)) << testing::PrintToString(bytes);
    }
}

TEST(HttpResponses, ExactBytes) {
    EXPECT_EQ(kNotFoundResponse.size(), 80u);
    EXPECT_EQ(
        page_response("<h1>hi</h1>"),
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 11\r\n\r\n<h1>hi</h1>");
    EXPECT_EQ(page_response(""),
              "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\n\r\n");
    // The length counts bytes, not characters.
    EXPECT_EQ(page_response("\u00E9"),
              "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 2\r\n\r\n\u00E9");
}

TEST(HttpResponses, FirstRegisteredPageWins) {
    add_route("/unit-first", "one");
    add_route("/unit-first", "two");
    add_route("/unit-other", "three");
    EXPECT_EQ(response_for("/unit-first"), page_response("one"));
    EXPECT_EQ(response_for("/unit-other"), page_response("three"));
    EXPECT_EQ(response_for("/unit-missing"), kNotFoundResponse);
    EXPECT_EQ(response_for("/unit-first/"), kNotFoundResponse);
}

TEST(HttpStatus, ReasonsAndLines) {
    EXPECT_EQ(reason_phrase(200), "OK");
    EXPECT_EQ(reason_phrase(204), "No Content");
    EXPECT_EQ(reason_phrase(301), "Moved Permanently");
    EXPECT_EQ(reason_phrase(503), "Service Unavailable");
    EXPECT_EQ(reason_phrase(418), "Unknown");
    EXPECT_EQ(reason_phrase(-200), "Unknown");
    EXPECT_EQ(status_line(404, "Not Found"), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(status_line(-5, ""), "HTTP/1.1 -5 ");

    EXPECT_EQ(call("http.status", {Value::number(418)}).text(), "HTTP/1.1 418 Unknown");
    EXPECT_EQ(call("http.status", {Value::number(200), Value::string("Fine")}).text(),
              "HTTP/1.1 200 Fine");
    EXPECT_EQ(call("http.status", {Value::floating(404.9)}).text(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(call("http.status", {Value::floating(0.0 / 0.0)}).text(), "HTTP/1.1 0 Unknown");
    EXPECT_EQ(call("http.status", {Value::floating(1e300)}).text(),
              "HTTP/1.1 9223372036854775807 Unknown");
    EXPECT_EQ(call("http.status", {Value::number(201), Value::number(7)}).text(), "HTTP/1.1 201 7");
    EXPECT_EQ(error_of(call("http.status", {Value::string("200")})),
              "Status code must be a number");
    EXPECT_EQ(error_of(call("http.status", {Value::null()})), "Status code must be a number");
}

TEST(HttpJson, TextOfEveryKind) {
    auto json = [](const Value& v) { return std::string(call("http.json", {v}).text()); };
    EXPECT_EQ(json(Value::array({Value::number(1), Value::floating(2.5), Value::boolean(true)})),
              "[1,2.5,true]");
    EXPECT_EQ(json(Value::array({})), "[]");
    EXPECT_EQ(json(Value::dict(Dict())), "{}");
    EXPECT_EQ(json(Value::null()), "null");
    EXPECT_EQ(json(Value::number(-42)), "-42");
    EXPECT_EQ(json(Value::floating(2.0)), "2");
    EXPECT_EQ(json(Value::error("x")), "null");
    EXPECT_EQ(json(Value::color(1, 2, 3)), "null");
    EXPECT_EQ(json(Value::builtin_function("http.get")), "null");

    Dict inner;
    inner.insert_or_assign("k", Value::array({Value::null(), Value::string("v")}));
    EXPECT_EQ(json(Value::array({Value::dict(std::move(inner)), Value::array({})})),
              "[{\"k\":[null,\"v\"]},[]]");

    Dict two;
    two.insert_or_assign("a", Value::number(1));
    two.insert_or_assign("b", Value::boolean(false));
    const std::string text = json(Value::dict(std::move(two)));
    EXPECT_TRUE(text == "{\"a\":1,\"b\":false}" || text == "{\"b\":false,\"a\":1}") << text;
}

TEST(HttpJson, TextsAreEscapedAndNonFiniteFloatsAreNull) {
    auto json = [](const Value& v) { return std::string(call("http.json", {v}).text()); };
    const struct {
        std::string text;
        std::string expected;
    } strings[] = {
        {"say \"hi\"", R"("say \"hi\"")"},
        {"a\\b", R"("a\\b")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {std::string("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
        {"\x7f \u00e9 \u2028 /", "\"\x7f \u00e9 \u2028 /\""},
        {"", R"("")"},
    };
    for (const auto& s : strings)
        EXPECT_EQ(json(Value::string(s.text)), s.expected);

    Dict keys;
    keys.insert_or_assign("q\"\n", Value::floating(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(json(Value::dict(std::move(keys))), R"({"q\"\n":null})");
    EXPECT_EQ(json(Value::array({Value::floating(std::numeric_limits<double>::infinity()),
                                 Value::floating(-std::numeric_limits<double>::infinity()),
                                 Value::floating(0.1), Value::floating(-2.0)})),
              "[null,null,0.1,-2]");
}

TEST(HttpUrl, SplitsSchemeHostPortAndPath) {
    UrlParts p;
    ASSERT_EQ(split_url("http://h:8080/api?x=1#f", p), UrlResult::Ok);
    EXPECT_EQ(p.host, "h");
    EXPECT_EQ(p.port, 8080);
    EXPECT_EQ(p.path, "/api?x=1#f");

    ASSERT_EQ(split_url(" \t http://example.org \u3000", p), UrlResult::Ok);
    EXPECT_EQ(p.host, "example.org");
    EXPECT_EQ(p.port, 80);
    EXPECT_EQ(p.path, "/");

    ASSERT_EQ(split_url("localhost:8000", p), UrlResult::Ok);
    EXPECT_EQ(p.host, "localhost");
    EXPECT_EQ(p.port, 8000);
    EXPECT_EQ(p.path, "/");

    ASSERT_EQ(split_url("h:1:2/a:b/c", p), UrlResult::Ok);
    EXPECT_EQ(p.host, "h");
    EXPECT_EQ(p.port, 80); // "1:2" is no number
    EXPECT_EQ(p.path, "/a:b/c");

    // The scheme test is case-sensitive: this URL has no scheme at all.
    ASSERT_EQ(split_url("HTTP://h/x", p), UrlResult::Ok);
    EXPECT_EQ(p.host, "HTTP");
    EXPECT_EQ(p.path, "//h/x");

    ASSERT_EQ(split_url("http://", p), UrlResult::Ok);
    EXPECT_EQ(p.host, "");
    EXPECT_EQ(p.path, "/");

    EXPECT_EQ(split_url("https://secure.example/", p), UrlResult::Https);
    EXPECT_EQ(split_url("  https://x", p), UrlResult::Https);
    EXPECT_EQ(split_url("https:/", p), UrlResult::Ok);
}

TEST(HttpUrl, PortText) {
    EXPECT_EQ(parse_port("8080"), 8080);
    EXPECT_EQ(parse_port("+8080"), 8080);
    EXPECT_EQ(parse_port("0"), 0);
    EXPECT_EQ(parse_port("65535"), 65535);
    EXPECT_EQ(parse_port("000000000000000443"), 443);
    for (const char* bad : {"", "+", "++1", "-1", "-0", "65536", "70000", "99999999999999999999",
                            "abc", "80a", " 80", "8 0", "0x50"}) {
        EXPECT_EQ(parse_port(bad), 80) << bad;
    }
}

TEST(HttpUrl, RequestBytes) {
    EXPECT_EQ(request_text("GET", "h", "/api?x=1", ""),
              "GET /api?x=1 HTTP/1.1\r\nHost: h\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(request_text("POST", "example.org", "/", "\u00E9x"),
              "POST / HTTP/1.1\r\nHost: example.org\r\nConnection: close\r\n"
              "Content-Length: 3\r\n\r\n\u00E9x");
}

TEST(HttpDispatch, ArgumentMessagesAndUnknownNames) {
    const std::pair<const char*, const char*> usage[] = {
        {"http.serve", "serve requires a port number"},
        {"http.page", "page requires a path and content"},
        {"http.template", "template requires a filepath"},
        {"http.json", "json requires an argument"},
        {"http.status", "status requires a status code"},
        {"http.get", "get requires a url"},
        {"http.post", "post requires a url and body"},
        {"http.send", "send requires url, method, and optionally body"},
    };
    for (const auto& [name, message] : usage)
        EXPECT_EQ(error_of(call(name, {})), message);
    EXPECT_EQ(error_of(call("http.page", {Value::string("/")})),
              "page requires a path and content");
    EXPECT_EQ(error_of(call("http.post", {Value::string("x")})), "post requires a url and body");
    EXPECT_EQ(error_of(call("http.send", {Value::string("x"), Value::string("get")})),
              "send requires url, method, and optionally body");

    Value result;
    for (const char* name :
         {"http.put", "http", "http.", "http.serve ", "HTTP.get", "http.page.x"}) {
        EXPECT_FALSE(testing_support::call_module_function(name, nullptr, 0, natives, result))
            << name;
    }
}

TEST(HttpDispatch, RefusalsWithoutNetworkActivity) {
    EXPECT_EQ(error_of(call("http.serve", {Value::string("8080")})), "Port must be a number");
    EXPECT_EQ(error_of(call("http.serve", {Value::boolean(true)})), "Port must be a number");
    EXPECT_EQ(error_of(call("http.get", {Value::string("https://example.org/")})),
              "HTTPS not supported, use HTTP");
    EXPECT_EQ(error_of(call("http.send",
                            {Value::string("https://x"), Value::string("put"), Value::string("")})),
              "HTTPS not supported, use HTTP");
    EXPECT_EQ(error_of(call("http.template", {Value::string("/nonexistent/drevel/t.html")})),
              "Failed to read template: No such file or directory (os error 2)");
    EXPECT_EQ(error_of(call("http.template", {Value::string("/")})),
              "Failed to read template: Is a directory (os error 21)");
    // Surplus arguments are ignored.
    EXPECT_EQ(call("http.json", {Value::number(1), Value::number(2)}).text(), "1");
}

TEST(HttpConnections, OldestIsTheOneIdleLongest) {
    ConnectionPool pool(3);
    Connection& a = pool.open(10, 100);
    Connection& b = pool.open(11, 200);
    Connection& c = pool.open(12, 300);
    EXPECT_TRUE(pool.full());
    EXPECT_EQ(pool.oldest(), &a);
    pool.touch(a, 400); // progress moves it behind the others
    EXPECT_EQ(pool.oldest(), &b);
    pool.touch(c, 500);
    pool.release(b);
    EXPECT_EQ(pool.size(), 2u);
    EXPECT_EQ(pool.oldest(), &a);
    // The freed slot is reused, and the new connection is the newest.
    Connection& d = pool.open(13, 600);
    EXPECT_EQ(&d, &b);
    EXPECT_EQ(d.received, 0);
    pool.release(a);
    pool.release(c);
    EXPECT_EQ(pool.oldest(), &d);
    pool.touch(d, 700);
    pool.release(d);
    EXPECT_EQ(pool.oldest(), nullptr);
    EXPECT_EQ(pool.size(), 0u);

    // A lower limit makes the pool full before its slots run out.
    pool.limit_to(0);
    EXPECT_FALSE(pool.full());
    pool.open(14, 800);
    EXPECT_TRUE(pool.full());
}
