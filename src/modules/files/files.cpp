// The files module: argument checks and messages around the file-system
// operations. The module keeps no state; paths are relative to the working
// directory and used exactly as the script gave them.
#include "modules/files/files.h"

#include <string>
#include <vector>

#include "modules/files/file_system.h"

namespace drevel {

namespace {

namespace fs = file_system;

// Path and content arguments are the display text of any value.
std::string text_of(const Value& v) {
    return display_text(v);
}

Value failure(const char* what, const std::string& path, const std::string& error) {
    std::string message = what;
    message += " '";
    message += path;
    message += "': ";
    message += error;
    return Value::error(std::move(message));
}

// The second argument of delete_folder: only zero numbers, false, null and
// errors leave the removal non-recursive; every text (an empty one too),
// collection, function and shape asks for it.
bool recursive_flag(const Value& v) {
    switch (v.kind()) {
    case ValueKind::Number: return v.as_number() != 0;
    case ValueKind::Float: return !(v.as_float() == 0.0);
    case ValueKind::Boolean: return v.as_boolean();
    case ValueKind::Null:
    case ValueKind::Error: return false;
    default: return true;
    }
}

Value read(const Value* args, size_t) {
    const std::string path = text_of(args[0]);
    std::string content, error;
    if (!fs::read_text_file(path, content, error))
        return failure("Failed to read file", path, error);
    return Value::string(std::move(content));
}

Value write(const Value* args, size_t) {
    const std::string path = text_of(args[0]);
    std::string error;
    const bool ok = args[1].is(ValueKind::String)
                        ? fs::write_file(path, args[1].text(), error)
                        : fs::write_file(path, display_text(args[1]), error);
    return ok ? Value::null() : failure("Failed to write file", path, error);
}

Value append(const Value* args, size_t) {
    const std::string path = text_of(args[0]);
    std::string error;
    const fs::AppendFailure result = args[1].is(ValueKind::String)
                                         ? fs::append_file(path, args[1].text(), error)
                                         : fs::append_file(path, display_text(args[1]), error);
    switch (result) {
    case fs::AppendFailure::None: return Value::null();
    case fs::AppendFailure::Open: return failure("Failed to open file", path, error);
    case fs::AppendFailure::Write: return failure("Failed to append to file", path, error);
    }
    return Value::null();
}

Value remove(const Value* args, size_t) {
    const std::string path = text_of(args[0]);
    std::string error;
    if (!fs::remove_file(path, error)) return failure("Failed to delete file", path, error);
    return Value::null();
}

Value exists(const Value* args, size_t) {
    return Value::boolean(fs::path_kind(text_of(args[0])) != fs::PathKind::Missing);
}

Value is_file(const Value* args, size_t) {
    return Value::boolean(fs::path_kind(text_of(args[0])) == fs::PathKind::File);
}

Value is_folder(const Value* args, size_t) {
    return Value::boolean(fs::path_kind(text_of(args[0])) == fs::PathKind::Folder);
}

Value create_folder(const Value* args, size_t) {
    const std::string path = text_of(args[0]);
    std::string error;
    if (!fs::create_folders(path, error)) return failure("Failed to create folder", path, error);
    return Value::null();
}

Value delete_folder(const Value* args, size_t count) {
    const std::string path = text_of(args[0]);
    const bool recursive = count >= 2 && recursive_flag(args[1]);
    std::string error;
    if (!fs::remove_folder(path, recursive, error)) {
        return failure("Failed to delete folder", path, error);
    }
    return Value::null();
}

Value list(const Value* args, size_t) {
    const std::string path = text_of(args[0]);
    std::vector<std::string> names;
    std::string error;
    if (!fs::list_folder(path, names, error)) return failure("Failed to list folder", path, error);
    std::vector<Value> items;
    items.reserve(names.size());
    for (std::string& name : names)
        items.push_back(Value::string(std::move(name)));
    return Value::array(std::move(items));
}

struct FilesFunction {
    std::string_view name;
    size_t required; // arguments below this count give the usage message
    const char* usage;
    Value (*run)(const Value* args, size_t count);
};

constexpr FilesFunction kFunctions[] = {
    {"files.read", 1, "read requires a filepath", read},
    {"files.write", 2, "write requires a filepath and content", write},
    {"files.append", 2, "append requires a filepath and content", append},
    {"files.delete", 1, "delete requires a filepath", remove},
    {"files.exists", 1, "exists requires a path", exists},
    {"files.is_file", 1, "is_file requires a path", is_file},
    {"files.is_folder", 1, "is_folder requires a path", is_folder},
    {"files.create_folder", 1, "create_folder requires a folder path", create_folder},
    {"files.delete_folder", 1, "delete_folder requires a folder path", delete_folder},
    {"files.list", 1, "list requires a folder path", list},
};

} // namespace

bool files_dispatch(std::string_view qualified_name, const Value* args, size_t count,
                    Value& result) {
    for (const FilesFunction& f : kFunctions) {
        if (f.name != qualified_name) continue;
        result = count < f.required ? Value::error(f.usage) : f.run(args, count);
        return true;
    }
    return false;
}

} // namespace drevel
