// The files module: argument checks and messages around the file-system
// operations. The module keeps no state; paths are relative to the working
// directory and used exactly as the script gave them.
#include "modules/files/files.h"

#include <string>
#include <vector>

#include "interpreter/builtins/argument_text.h"
#include "modules/files/file_system.h"
#include "platform/source_file.h"

namespace drevel {

namespace {

namespace fs = file_system;

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

Value read(Value* args, size_t, NativeContext&) {
    const std::string path = argument_text(args[0]);
    std::string error;
    std::optional<std::string> content = read_text_file(path, error);
    if (!content) return failure("Failed to read file", path, error);
    return Value::string(std::move(*content));
}

Value write(Value* args, size_t, NativeContext&) {
    const std::string path = argument_text(args[0]);
    std::string error;
    std::string storage;
    const bool ok = fs::write_file(path, argument_text(args[1], storage), error);
    return ok ? Value::null() : failure("Failed to write file", path, error);
}

Value append(Value* args, size_t, NativeContext&) {
    const std::string path = argument_text(args[0]);
    std::string error;
    std::string storage;
    const fs::AppendFailure result = fs::append_file(path, argument_text(args[1], storage), error);
    switch (result) {
    case fs::AppendFailure::None: return Value::null();
    case fs::AppendFailure::Open: return failure("Failed to open file", path, error);
    case fs::AppendFailure::Write: return failure("Failed to append to file", path, error);
    }
    return Value::null();
}

Value remove(Value* args, size_t, NativeContext&) {
    const std::string path = argument_text(args[0]);
    std::string error;
    if (!fs::remove_file(path, error)) return failure("Failed to delete file", path, error);
    return Value::null();
}

Value exists(Value* args, size_t, NativeContext&) {
    return Value::boolean(fs::path_kind(argument_text(args[0])) != fs::PathKind::Missing);
}

Value is_file(Value* args, size_t, NativeContext&) {
    return Value::boolean(fs::path_kind(argument_text(args[0])) == fs::PathKind::File);
}

Value is_folder(Value* args, size_t, NativeContext&) {
    return Value::boolean(fs::path_kind(argument_text(args[0])) == fs::PathKind::Folder);
}

Value create_folder(Value* args, size_t, NativeContext&) {
    const std::string path = argument_text(args[0]);
    std::string error;
    if (!fs::create_folders(path, error)) return failure("Failed to create folder", path, error);
    return Value::null();
}

Value delete_folder(Value* args, size_t count, NativeContext&) {
    const std::string path = argument_text(args[0]);
    const bool recursive = count >= 2 && recursive_flag(args[1]);
    std::string error;
    if (!fs::remove_folder(path, recursive, error)) {
        return failure("Failed to delete folder", path, error);
    }
    return Value::null();
}

Value list(Value* args, size_t, NativeContext&) {
    const std::string path = argument_text(args[0]);
    std::vector<std::string> names;
    std::string error;
    if (!fs::list_folder(path, names, error)) return failure("Failed to list folder", path, error);
    std::vector<Value> items;
    items.reserve(names.size());
    for (std::string& name : names)
        items.push_back(Value::string(std::move(name)));
    return Value::array(std::move(items));
}

constexpr BuiltinEntry kFunctions[] = {
    {"read", read, {1, "read requires a filepath"}},
    {"write", write, {2, "write requires a filepath and content"}},
    {"append", append, {2, "append requires a filepath and content"}},
    {"delete", remove, {1, "delete requires a filepath"}},
    {"exists", exists, {1, "exists requires a path"}},
    {"create_folder", create_folder, {1, "create_folder requires a folder path"}},
    {"delete_folder", delete_folder, {1, "delete_folder requires a folder path", 1, 2}},
    {"list", list, {1, "list requires a folder path"}},
    {"is_file", is_file, {1, "is_file requires a path"}},
    {"is_folder", is_folder, {1, "is_folder requires a path"}},
};

} // namespace

const NativeModule& files_module() {
    static const NativeModule module{"files", "Files", true, kFunctions, {}};
    return module;
}

} // namespace drevel
