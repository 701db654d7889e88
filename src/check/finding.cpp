#include "check/finding.h"

#include <algorithm>

namespace drevel {

void sort_findings(std::vector<Finding>& findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.offset < b.offset; });
    auto same = [](const Finding& a, const Finding& b) {
        return a.offset == b.offset && a.message == b.message;
    };
    findings.erase(std::unique(findings.begin(), findings.end(), same), findings.end());
}

LineIndex::LineIndex(std::string_view source) : source_(source) {
    line_starts_.push_back(0);
    for (size_t i = 0; i < source.size(); ++i)
        if (source[i] == '\n') line_starts_.push_back(uint32_t(i + 1));
}

std::string LineIndex::position(uint32_t offset) const {
    auto after = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    size_t line = size_t(after - line_starts_.begin());
    uint32_t start = line_starts_[line - 1];
    size_t column = 1;
    for (uint32_t i = start; i < offset && i < source_.size(); ++i)
        if ((uint8_t(source_[i]) & 0xC0) != 0x80) ++column; // UTF-8 lead bytes only
    return std::to_string(line) + ":" + std::to_string(column);
}

std::string_view token_text(std::string_view source, const SourceMap& map, uint32_t first,
                            uint32_t last) {
    uint32_t begin = map.token_offsets[first];
    uint32_t end = std::max(begin, map.token_ends[last]);
    return source.substr(begin, end - begin);
}

} // namespace drevel
