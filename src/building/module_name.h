// Module names as the user types them: "author/module" or "author.module".
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace drevel {

struct ModuleName {
    std::string author;
    std::string module;

    // author + "." + module: the name shown in messages and in the use hint.
    std::string qualified_name() const { return author + "." + module; }
    // ".drevel/modules/" + author + "/" + module.
    std::string directory() const;
};

// Installs are assembled in folders of this prefix inside .drevel/modules,
// which are removed once their run has ended: no author may be named so.
inline constexpr std::string_view module_scratch_prefix = ".install-";

inline constexpr std::string_view module_format_message =
    "Module format must be 'author/module' or 'author.module'";

// Splits at the first "/", or else at the first ".", into two non-empty
// parts. Both parts become directory names below .drevel/modules, so a part
// that is "." or "..", or that holds a "/", white space or a control
// character, is refused with the same message as a name without separator:
// no name can reach outside its own directory there. So is an author that
// would look like a scratch folder.
// Returns the name or the failure message.
std::variant<ModuleName, std::string> parse_module_name(std::string_view text);

} // namespace drevel
