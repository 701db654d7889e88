// File-system operations behind the files module, on plain POSIX calls.
//
// Every operation returns true on success; on failure it returns false and
// sets error to the system's description of the cause ("No such file or
// directory (os error 2)") or to one of the fixed texts below.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace drevel::file_system {

// Creates or truncates the file, then writes all of content.
bool write_file(const std::string& path, std::string_view content, std::string& error);

// Appending opens and writes in two steps, each with its own message.
enum class AppendFailure { None, Open, Write };
AppendFailure append_file(const std::string& path, std::string_view content, std::string& error);

bool remove_file(const std::string& path, std::string& error);

// One metadata query that follows symbolic links.
enum class PathKind { Missing, File, Folder, Other };
PathKind path_kind(const std::string& path);

// Creates the folder and every missing parent; an existing folder is fine.
bool create_folders(const std::string& path, std::string& error);
// Removes an empty folder, or with recursive the folder and everything below
// it. Symbolic links inside are removed, never followed; a path that is
// itself a symbolic link is refused as not a directory.
bool remove_folder(const std::string& path, bool recursive, std::string& error);

// Entry names in the order the system returns them, without "." and ".."
// and without names that are not UTF-8.
bool list_folder(const std::string& path, std::vector<std::string>& names, std::string& error);

} // namespace drevel::file_system
