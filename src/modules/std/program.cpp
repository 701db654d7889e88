// The program and its machine: arguments, exit status, environment, the
// script's folder, clocks and sleeping.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <unistd.h>

#include "interpreter/builtins/argument_text.h"
#include "interpreter/interpreter.h"
#include "interpreter/interrupt.h"
#include "interpreter/output.h"
#include "modules/std/std_functions.h"
#include "modules/std/std_module.h"

namespace drevel {

namespace {

struct ProgramFacts {
    std::vector<std::string> arguments;
    std::string script_folder;
};

ProgramFacts& facts() {
    static ProgramFacts program;
    return program;
}

std::string working_folder() {
    std::string path(4096, '\0');
    if (!getcwd(path.data(), path.size())) return ".";
    path.resize(std::char_traits<char>::length(path.c_str()));
    return path;
}

} // namespace

void set_program_arguments(std::vector<std::string> arguments) {
    facts().arguments = std::move(arguments);
}

void set_script_folder(std::string folder) {
    facts().script_folder = std::move(folder);
}

namespace stdlib {

Value args(Value*, size_t, NativeContext&) {
    std::vector<Value> out;
    out.reserve(facts().arguments.size());
    for (const std::string& argument : facts().arguments)
        out.push_back(Value::string(argument));
    return Value::array(std::move(out));
}

Value exit(Value* args, size_t, NativeContext& context) {
    // Where the program may not touch the machine (fuzzing), it cannot end
    // the process either.
    if (!native_io_enabled) return failure("exit", "unavailable here");
    int64_t status;
    if (!whole_number(args[0], status) || status < 0 || status > 255)
        return failure("exit", "the status must be a whole number from 0 to 255");
    // Ends the whole run here, from any depth: the modules' state goes first
    // (the window closes), then what was printed; nothing else unwinds.
    context.close_all();
    output::flush();
    std::_Exit(int(status));
}

Value env(Value* args, size_t, NativeContext&) {
    const char* value = std::getenv(argument_text(args[0]).c_str());
    return value ? Value::string(value) : Value();
}

Value script_folder(Value*, size_t, NativeContext&) {
    const std::string& folder = facts().script_folder;
    return Value::string(folder.empty() ? working_folder() : folder);
}

Value time(Value*, size_t, NativeContext&) {
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return Value::floating(std::chrono::duration<double>(since_epoch).count());
}

Value clock(Value*, size_t, NativeContext& context) {
    auto elapsed = std::chrono::steady_clock::now() - context.started();
    return Value::floating(std::chrono::duration<double>(elapsed).count());
}

Value sleep(Value* args, size_t, NativeContext&) {
    if (!args[0].is_numeric()) return wrong_argument("sleep", "a number of seconds", args[0]);
    double seconds = numeric_to_float(args[0]);
    if (!(seconds >= 0) || seconds > 1e9) return failure("sleep", "the seconds must be from 0 up");
    if (!native_io_enabled) return Value(); // fuzzing does not wait
    output::flush();
    // In slices, so that Ctrl-C at the prompt ends the wait.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                       std::chrono::duration<double>(seconds));
    while (!interrupt_requested) {
        Clock::duration left = until - Clock::now();
        if (left <= Clock::duration::zero()) break;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, std::chrono::milliseconds(50)));
    }
    return Value();
}

Value format_time(Value* args, size_t, NativeContext&) {
    if (!args[0].is_numeric()) return wrong_argument("format_time", "a number of seconds", args[0]);
    double seconds = std::floor(numeric_to_float(args[0]));
    if (!(std::fabs(seconds) < 1e15)) return failure("format_time", "the time is out of range");
    std::time_t when = std::time_t(seconds);
    std::tm local{};
    if (!localtime_r(&when, &local)) return failure("format_time", "the time is out of range");
    std::string pattern = argument_text(args[1]);
    if (pattern.empty()) return Value::string("");
    // strftime gives 0 both for an empty result and for too small a buffer.
    for (size_t size = 128; size <= (size_t(1) << 20); size *= 4) {
        std::string out(size, '\0');
        size_t n = std::strftime(out.data(), size, pattern.c_str(), &local);
        if (n > 0) {
            out.resize(n);
            return Value::string(out);
        }
    }
    return Value::string("");
}

} // namespace stdlib

} // namespace drevel
