#include "building/module_yaml.h"

#include "building/path_text.h"
#include "lexer/unicode.h"

namespace drevel {

namespace {

std::string_view strip_both_ends(std::string_view text, char c) {
    while (!text.empty() && text.front() == c)
        text.remove_prefix(1);
    while (!text.empty() && text.back() == c)
        text.remove_suffix(1);
    return text;
}

} // namespace

std::vector<std::string> read_module_file_list(std::string_view yaml) {
    std::vector<std::string> files;
    bool in_section = false;
    size_t pos = 0;
    while (pos <= yaml.size()) {
        size_t end = yaml.find('\n', pos);
        if (end == std::string_view::npos) end = yaml.size();
        std::string_view line = yaml.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trim_white_space(line);
        if (line.empty() || line.front() == '#') continue;

        if (line.starts_with("files:")) {
            in_section = true;
            continue;
        }
        if (!in_section) continue;
        if (line.front() == '-') {
            std::string_view entry = line;
            while (!entry.empty() && entry.front() == '-')
                entry.remove_prefix(1);
            entry = strip_both_ends(strip_both_ends(trim_white_space(entry), '"'), '\'');
            if (!entry.empty()) files.emplace_back(entry);
        } else if (line.find(':') != std::string_view::npos) {
            break;
        }
    }
    return files;
}

bool is_safe_module_file_name(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return !has_parent_component(name);
}

} // namespace drevel
