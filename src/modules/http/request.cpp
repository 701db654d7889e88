#include "modules/http/request.h"

#include <cstring>

#include "interpreter/json.h"

namespace drevel::http {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    }
    return true;
}

RequestReader& reader_of(http_parser* p) {
    return *static_cast<RequestReader*>(p->data);
}

} // namespace

bool split_request_line(std::string_view bytes, RequestLine& line) {
    const size_t end = bytes.find('\n');
    if (end == std::string_view::npos) return false;
    std::string_view text = bytes.substr(0, end);
    if (text.ends_with('\r')) text.remove_suffix(1);
    const size_t first = text.find(' ');
    if (first == std::string_view::npos || first == 0) return false;
    const size_t second = text.find(' ', first + 1);
    if (second == std::string_view::npos || second == first + 1) return false;
    line.method = text.substr(0, first);
    line.target = text.substr(first + 1, second - first - 1);
    if (line.target.front() != '/') return false; // neither a path nor "*"
    const size_t question = line.target.find('?');
    line.path = line.target.substr(0, question);
    line.query =
        question == std::string_view::npos ? std::string_view() : line.target.substr(question + 1);
    // A fragment is not sent by clients; one that is sent is not the query's.
    line.query = line.query.substr(0, line.query.find('#'));
    return true;
}

std::string percent_decode(std::string_view text, bool plus_is_space) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int high = hex_digit(text[i + 1]);
            const int low = hex_digit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += plus_is_space && c == '+' ? ' ' : c;
    }
    return out;
}

Value decode_fields(std::string_view text) {
    Dict fields;
    while (!text.empty()) {
        const size_t amp = text.find('&');
        const std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        const std::string name = percent_decode(pair.substr(0, equals), true);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        fields.insert_or_assign(name, Value::string(percent_decode(value, true)));
    }
    return Value::dict(std::move(fields));
}

const http_parser_settings RequestReader::kSettings = [] {
    http_parser_settings settings;
    http_parser_settings_init(&settings);
    settings.on_url = on_url;
    settings.on_header_field = on_header_field;
    settings.on_header_value = on_header_value;
    settings.on_headers_complete = on_headers_complete;
    settings.on_body = on_body;
    settings.on_message_complete = on_message_complete;
    return settings;
}();

RequestReader::RequestReader() {
    // The header limit is one setting of the library for the whole process.
    static const bool limited = (http_parser_set_max_header_size(kHeaderLimit), true);
    (void)limited;
    reset(kDefaultBodyLimit);
}

void RequestReader::reset(size_t body_limit) {
    http_parser_init(&parser_, HTTP_REQUEST);
    parser_.data = this;
    state_ = State::Reading;
    in_value_ = false;
    keep_alive_ = false;
    expects_continue_ = false;
    body_limit_ = body_limit;
    target_.clear();
    header_count_ = 0;
    body_.clear();
}

size_t RequestReader::feed(const char* data, size_t size) {
    if (state_ != State::Reading || size == 0) return 0;
    const size_t used = http_parser_execute(&parser_, &kSettings, data, size);
    if (state_ == State::Reading && HTTP_PARSER_ERRNO(&parser_) != HPE_OK) {
        state_ = HTTP_PARSER_ERRNO(&parser_) == HPE_HEADER_OVERFLOW ? State::HeadersTooLarge
                                                                    : State::Bad;
    }
    // An upgrade request (or CONNECT) ends the parser's part; such requests
    // are not served.
    if (state_ == State::Reading && parser_.upgrade) state_ = State::Bad;
    return used;
}

void RequestReader::finish() {
    if (state_ != State::Reading) return;
    http_parser_execute(&parser_, &kSettings, nullptr, 0);
    if (state_ == State::Reading) state_ = State::Bad;
}

std::string_view RequestReader::method() const {
    return http_method_str(static_cast<http_method>(parser_.method));
}

std::string_view RequestReader::header(std::string_view lower_name) const {
    for (size_t i = 0; i < header_count_; ++i) {
        if (headers_[i].first == lower_name) return headers_[i].second;
    }
    return {};
}

int RequestReader::stop(State state) {
    state_ = state;
    http_parser_pause(&parser_, 1);
    return 0;
}

int RequestReader::on_url(http_parser* p, const char* at, size_t n) {
    reader_of(p).target_.append(at, n);
    return 0;
}

int RequestReader::on_header_field(http_parser* p, const char* at, size_t n) {
    RequestReader& r = reader_of(p);
    if (r.in_value_ || r.header_count_ == 0) {
        if (r.header_count_ == r.headers_.size()) r.headers_.emplace_back();
        auto& [name, value] = r.headers_[r.header_count_++];
        name.clear();
        value.clear();
        r.in_value_ = false;
    }
    std::string& name = r.headers_[r.header_count_ - 1].first;
    for (size_t i = 0; i < n; ++i)
        name += ascii_lower(at[i]);
    return 0;
}

int RequestReader::on_header_value(http_parser* p, const char* at, size_t n) {
    RequestReader& r = reader_of(p);
    r.in_value_ = true;
    r.headers_[r.header_count_ - 1].second.append(at, n);
    return 0;
}

int RequestReader::on_headers_complete(http_parser* p) {
    RequestReader& r = reader_of(p);
    r.keep_alive_ = http_should_keep_alive(p) != 0;
    if ((p->flags & F_CONTENTLENGTH) && p->content_length > r.body_limit_) {
        return r.stop(State::TooLarge);
    }
    r.expects_continue_ = equals_ignoring_case(r.header("expect"), "100-continue");
    return 0;
}

int RequestReader::on_body(http_parser* p, const char* at, size_t n) {
    RequestReader& r = reader_of(p);
    if (r.body_.size() + n > r.body_limit_) return r.stop(State::TooLarge);
    r.body_.append(at, n);
    return 0;
}

int RequestReader::on_message_complete(http_parser* p) {
    RequestReader& r = reader_of(p);
    r.state_ = State::Complete;
    // What follows belongs to the next request.
    http_parser_pause(p, 1);
    return 0;
}

bool is_json_type(std::string_view type) {
    // "application/json", "application/problem+json; charset=utf-8", ...
    type = type.substr(0, type.find(';'));
    while (type.ends_with(' '))
        type.remove_suffix(1);
    std::string lower(type);
    for (char& c : lower)
        c = ascii_lower(c);
    return lower == "application/json" ||
           (lower.starts_with("application/") && lower.ends_with("+json"));
}

Value request_value(const RequestReader& reader, Value params, std::string_view remote,
                    Value json) {
    const std::string_view target = reader.target();
    const size_t question = target.find('?');
    const std::string_view path = target.substr(0, question);
    std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    query = query.substr(0, query.find('#'));

    Dict headers(reader.headers().size());
    for (const auto& [name, value] : reader.headers()) {
        // A repeated header's values are joined, as HTTP allows.
        if (const Value* earlier = headers.find(name)) {
            headers.insert_or_assign(name,
                                     Value::string(std::string(earlier->text()) + ", " + value));
        } else {
            headers.insert_or_assign(name, Value::string(value));
        }
    }
    const std::string_view type = reader.header("content-type");
    const bool form = type.starts_with("application/x-www-form-urlencoded");

    Dict request(10);
    request.insert_or_assign("method", Value::string(reader.method()));
    request.insert_or_assign("path", Value::string(percent_decode(path, false)));
    request.insert_or_assign("query", decode_fields(query));
    request.insert_or_assign("params", std::move(params));
    request.insert_or_assign("headers", Value::dict(std::move(headers)));
    request.insert_or_assign("body", Value::string(reader.body()));
    request.insert_or_assign("form", form ? decode_fields(reader.body()) : Value::dict(Dict()));
    request.insert_or_assign("json", std::move(json));
    request.insert_or_assign("remote", Value::string(remote));
    return Value::dict(std::move(request));
}

} // namespace drevel::http
