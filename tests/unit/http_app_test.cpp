// The http module's pieces for web applications, apart from any socket:
// path patterns, decoding of paths, queries and forms, the request reader
// fed in pieces, handler results as responses, and file dates and types.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "modules/http/request.h"
#include "modules/http/response.h"
#include "modules/http/routes.h"
#include "modules/http/static_files.h"

using namespace drevel;
using namespace drevel::http;

namespace {

// The dict as "k=v;" pairs in key order, or "null".
std::string flat(const Value& v) {
    if (v.kind() != ValueKind::Dict) return "null";
    std::vector<std::string> pairs;
    for (const auto& [key, item] : v.entries())
        pairs.push_back(std::string(key) + "=" + display_text(item) + ";");
    std::sort(pairs.begin(), pairs.end());
    std::string out;
    for (const std::string& p : pairs)
        out += p;
    return out;
}

} // namespace

TEST(HttpPatterns, SegmentsNamesAndRest) {
    struct Case {
        const char* pattern;
        const char* path;
        const char* params; // "null" when the path does not fit
    };
    const Case cases[] = {
        {"/", "/", ""},
        {"/", "/x", "null"},
        {"/notes", "/notes", ""},
        {"/notes", "/notes/", "null"},
        {"/notes/", "/notes/", ""},
        {"/notes/:id", "/notes/7", "id=7;"},
        {"/notes/:id", "/notes/", "null"},
        {"/notes/:id", "/notes/7/edit", "null"},
        {"/notes/:id/edit", "/notes/a%20b/edit", "id=a b;"},
        {"/:a/:b", "/x/y", "a=x;b=y;"},
        {"/files/*", "/files/a/b%2Fc.png", "*=a/b/c.png;"},
        {"/files/*", "/files/", "*=;"},
        {"/files/*", "/files", "null"},
        {"/caf%C3%A9", "/caf%C3%A9", "null"}, // patterns are not decoded
        {"/café", "/caf%C3%A9", ""},
        {"/a:b", "/a:b", ""},
        {"notes", "/notes", "null"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(flat(match_pattern(c.pattern, c.path)), c.params) << c.pattern << " " << c.path;
    }
}

TEST(HttpDecoding, PercentPlusAndFields) {
    EXPECT_EQ(percent_decode("a%20b+c%2b%zz%4", false), "a b+c+%zz%4");
    EXPECT_EQ(percent_decode("a%20b+c", true), "a b c");
    EXPECT_EQ(percent_decode("%00%FF", false), std::string("\0\xFF", 2));
    EXPECT_EQ(flat(decode_fields("name=B%C3%B6b+x&n=1&&flag&n=2&=empty")),
              "=empty;flag=;n=2;name=Böb x;");
    EXPECT_EQ(flat(decode_fields("")), "");
}

TEST(HttpDecoding, RequestLines) {
    RequestLine line;
    ASSERT_TRUE(split_request_line("GET /a/b?x=1#f HTTP/1.1\r\nHost: h\r\n", line));
    EXPECT_EQ(line.method, "GET");
    EXPECT_EQ(line.target, "/a/b?x=1#f");
    EXPECT_EQ(line.path, "/a/b");
    EXPECT_EQ(line.query, "x=1");
    for (const char* bad : {"GET /a HTTP/1.1", "GET  /a HTTP/1.1\n", " GET /a HTTP/1.1\n",
                            "GET http://h/a HTTP/1.1\n", "GET /a\n", ""}) {
        EXPECT_FALSE(split_request_line(bad, line)) << bad;
    }
}

TEST(HttpDecoding, JsonContentTypes) {
    for (const char* yes : {"application/json", "Application/JSON; charset=utf-8",
                            "application/problem+json", "application/json ; x=y"}) {
        EXPECT_TRUE(is_json_type(yes)) << yes;
    }
    for (const char* no : {"", "text/json", "application/jsonx",
                           "application/x-www-form-urlencoded", "text/plain+json"}) {
        EXPECT_FALSE(is_json_type(no)) << no;
    }
}

TEST(HttpRequestReader, SameResultInAnyPieces) {
    const std::string request = "POST /echo?q=1 HTTP/1.1\r\nHost: h\r\nX-Two: a\r\nx-two: b\r\n"
                                "Transfer-Encoding: chunked\r\n\r\n"
                                "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n"
                                "GET /next HTTP/1.1\r\n\r\n";
    const size_t first_length = request.find("GET /next");
    for (size_t step : {size_t(1), size_t(2), size_t(7), request.size()}) {
        RequestReader reader;
        size_t used = 0;
        while (used < request.size() && reader.state() == RequestReader::State::Reading) {
            const size_t n = std::min(step, request.size() - used);
            used += reader.feed(request.data() + used, n);
        }
        ASSERT_EQ(reader.state(), RequestReader::State::Complete) << step;
        // The pipelined request after it stays unread.
        EXPECT_EQ(used, first_length) << step;
        EXPECT_EQ(reader.method(), "POST");
        EXPECT_EQ(reader.target(), "/echo?q=1");
        EXPECT_EQ(reader.body(), "abcde");
        EXPECT_EQ(reader.header("x-two"), "a");
        EXPECT_TRUE(reader.keep_alive());
        const Value request_dict = request_value(reader, Value::dict(Dict()), "::1", Value());
        EXPECT_EQ(display_text(*request_dict.entries().find("headers")->entries().find("x-two")),
                  "a, b");
        EXPECT_EQ(flat(*request_dict.entries().find("query")), "q=1;");
        EXPECT_EQ(display_text(*request_dict.entries().find("remote")), "::1");
    }
}

TEST(HttpRequestReader, Refusals) {
    struct Case {
        std::string bytes;
        RequestReader::State state;
    };
    const std::string big_header =
        "GET / HTTP/1.1\r\nX: " + std::string(kHeaderLimit, 'a') + "\r\n\r\n";
    const Case cases[] = {
        {"GET / HTTP/1.1\r\nContent-Length: 11\r\n\r\n", RequestReader::State::TooLarge},
        {"GET / HTTP/1.1\r\nContent-Length: 10\r\n\r\n0123456789", RequestReader::State::Complete},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nb\r\n01234567890\r\n0\r\n\r\n",
         RequestReader::State::TooLarge},
        {big_header, RequestReader::State::HeadersTooLarge},
        {"GET / HTTP/1.1\r\nNo colon\r\n\r\n", RequestReader::State::Bad},
        {"\x01\x02 / HTTP/1.1\r\n\r\n", RequestReader::State::Bad},
    };
    for (const Case& c : cases) {
        RequestReader reader;
        reader.reset(10);
        reader.feed(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(int(reader.state()), int(c.state)) << c.bytes.substr(0, 40);
    }
    // A body cut short by the end of the connection is a bad request.
    RequestReader reader;
    const std::string cut = "POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nab";
    reader.feed(cut.data(), cut.size());
    reader.finish();
    EXPECT_EQ(reader.state(), RequestReader::State::Bad);
}

TEST(HttpHandlerResponse, EveryForm) {
    Dict headers;
    headers.insert_or_assign("x_made_by", Value::string("drevel"));
    headers.insert_or_assign("bad", Value::string("a\r\nInjected: 1"));
    headers.insert_or_assign("content_length", Value::string("999"));
    Dict custom;
    custom.insert_or_assign("status", Value::number(201));
    custom.insert_or_assign("body", Value::string("made"));
    custom.insert_or_assign("type", Value::string("text/plain"));
    custom.insert_or_assign("headers", Value::dict(std::move(headers)));
    Dict json;
    json.insert_or_assign("json", Value::array({Value::number(1), Value::boolean(true)}));
    struct Case {
        Value result;
        ResponseMode mode;
        std::string bytes;
    };
    const Case cases[] = {
        {Value::string("hi"),
         {true, false},
         "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 2\r\n"
         "Connection: keep-alive\r\n\r\nhi"},
        {Value::string("hi"),
         {false, true},
         "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 2\r\n"
         "Connection: close\r\n\r\n"},
        {Value::dict(std::move(custom)),
         {false, false},
         "HTTP/1.1 201 Created\r\nx-made-by: drevel\r\nContent-Type: text/plain\r\n"
         "Content-Length: 4\r\nConnection: close\r\n\r\nmade"},
        {Value::dict(std::move(json)),
         {false, false},
         "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 8\r\n"
         "Connection: close\r\n\r\n[1,true]"},
        {Value::null(), {true, false}, "HTTP/1.1 204 No Content\r\nConnection: keep-alive\r\n\r\n"},
        {Value::floating(2.5),
         {false, false},
         "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: 3\r\n"
         "Connection: close\r\n\r\n2.5"},
        {redirect_value("/next", 303),
         {false, false},
         "HTTP/1.1 303 See Other\r\nLocation: /next\r\nContent-Type: text/html; charset=utf-8\r\n"
         "Content-Length: 0\r\nConnection: close\r\n\r\n"},
    };
    for (const Case& c : cases) {
        std::string out;
        append_handler_response(out, c.result, c.mode);
        EXPECT_EQ(out, c.bytes);
    }
    EXPECT_EQ(server_response(405, "GET, POST"),
              "HTTP/1.1 405 Method Not Allowed\r\nAllow: GET, POST\r\n"
              "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 19\r\n"
              "Connection: close\r\n\r\nMethod Not Allowed\n");
}

TEST(HttpStaticFiles, DatesAndTypes) {
    EXPECT_EQ(http_date(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    for (time_t t : {time_t(0), time_t(784111777), time_t(1765190000), time_t(4102444799)}) {
        EXPECT_EQ(parse_http_date(http_date(t)), t);
    }
    for (const char* bad : {"", "Sun, 06 Nov 1994 08:49:37 UTC", "Sunday, 06-Nov-94 08:49:37 GMT",
                            "Sun, 06 Xyz 1994 08:49:37 GMT", "Sun, 0a Nov 1994 08:49:37 GMT"}) {
        EXPECT_EQ(parse_http_date(bad), -1) << bad;
    }
    EXPECT_EQ(content_type_of("a/cat.PNG"), "image/png");
    EXPECT_EQ(content_type_of("index.html"), "text/html; charset=utf-8");
    EXPECT_EQ(content_type_of("archive.tar.gz"), "application/gzip");
    EXPECT_EQ(content_type_of("v1.2/README"), "application/octet-stream");
    EXPECT_EQ(content_type_of("x.unknown"), "application/octet-stream");
}
