// The sdl2 module's dispatcher and the graphics builtins: argument counts
// and kinds give the fixed messages in their order, results without and
// with a window, and the shape values the constructors make.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "interpreter/builtins/registry.h"
#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/sdl2_module.h"
#include "native_call.h"

namespace drevel {
namespace {

Value call(NativeContext& natives, std::string_view name, std::vector<Value> args) {
    Value result = Value::string("not called");
    EXPECT_TRUE(
        testing_support::call_module_function(name, args.data(), args.size(), natives, result))
        << name;
    return result;
}

std::string error_of(const Value& v) {
    return v.is_error() ? std::string(v.text()) : "<" + display_text(v) + ">";
}

std::vector<Value> numbers(size_t n) {
    return std::vector<Value>(n, Value::number(1));
}

struct Checked {
    const char* name;
    size_t arguments;
    const char* count_message;
    const char* kind_message; // with a string in the first numeric slot
    size_t kind_slot;
};

const Checked kChecked[] = {
    {"sdl2.create_window", 3, "create_window requires 3 arguments",
     "Invalid arguments for create_window", 1},
    {"sdl2.set_window_title", 2, "set_window_title requires 2 arguments", nullptr, 0},
    {"sdl2.set_window_mode", 1, "set_window_mode requires a mode string",
     "Invalid window mode. Use 'windowed', 'fullscreen', or 'windowed_fullscreen'", 0},
    {"sdl2.set_draw_color", 3, "set_draw_color requires 3 arguments",
     "Color values must be numbers", 2},
    {"sdl2.set_max_fps", 1, "set_max_fps requires an FPS value", "FPS must be a number", 0},
    {"sdl2.draw_point", 2, "draw_point requires 2 arguments", "Coordinates must be numbers", 1},
    {"sdl2.draw_line", 4, "draw_line requires 4 arguments", "Coordinates must be numbers", 3},
    {"sdl2.draw_rect", 4, "draw_rect requires 4 arguments", "Rectangle parameters must be numbers",
     2},
    {"sdl2.fill_rect", 4, "fill_rect requires 4 arguments", "Rectangle parameters must be numbers",
     0},
    {"sdl2.draw_circle", 3, "draw_circle requires 3 arguments", "Circle parameters must be numbers",
     2},
    {"sdl2.fill_circle", 3, "fill_circle requires 3 arguments", "Circle parameters must be numbers",
     1},
    {"sdl2.draw_triangle", 6, "draw_triangle requires 6 arguments",
     "Triangle parameters must be numbers", 5},
    {"sdl2.fill_triangle", 6, "fill_triangle requires 6 arguments",
     "Triangle parameters must be numbers", 4},
    {"sdl2.get_input_pressed", 1, "get_input_pressed requires a key name", nullptr, 0},
    {"sdl2.get_input_released", 1, "get_input_released requires a key name", nullptr, 0},
    {"sdl2.get_input_held", 1, "get_input_held requires a key name", nullptr, 0},
};

// The module's state is made at its first call, but the first frame still
// counts from the start of the program.
TEST(GraphicsSdl2Module, FirstFrameCountsFromTheContextsStart) {
    NativeContext natives;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    call(natives, "sdl2.render_present", {});
    Value delta = call(natives, "sdl2.delta_time", {});
    ASSERT_TRUE(delta.is(ValueKind::Float));
    EXPECT_GE(delta.as_float(), 0.03);
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

TEST(GraphicsSdl2Module, CountComesBeforeKind) {
    NativeContext natives;
    for (const Checked& c : kChecked) {
        // Too few arguments, of the wrong kind as well: the count message.
        for (size_t n = 0; n < c.arguments; ++n) {
            std::vector<Value> args(n, Value::boolean(true));
            EXPECT_EQ(error_of(call(natives, c.name, args)), c.count_message)
                << c.name << " with " << n;
        }
        if (c.kind_message == nullptr) continue;
        std::vector<Value> args = numbers(c.arguments);
        if (std::string_view(c.name) == "sdl2.create_window") args[0] = Value::string("t");
        args[c.kind_slot] = Value::string("12");
        EXPECT_EQ(error_of(call(natives, c.name, args)), c.kind_message) << c.name;
    }
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

TEST(GraphicsSdl2Module, KindMessagesOfTheTextArguments) {
    NativeContext natives;
    EXPECT_EQ(error_of(call(natives, "sdl2.create_window",
                            {Value::number(5), Value::number(9), Value::number(9)})),
              "Invalid arguments for create_window");
    // The window argument of set_window_title is not examined.
    EXPECT_EQ(error_of(call(natives, "sdl2.set_window_title", {Value::null(), Value::number(3)})),
              "Title must be a string");
    EXPECT_TRUE(
        call(natives, "sdl2.set_window_title", {Value::null(), Value::string("x")}).is_null());
    EXPECT_EQ(error_of(call(natives, "sdl2.set_max_fps", {Value::string("60")})),
              "FPS must be a number");
    for (Value fps :
         {Value::number(0), Value::number(-5), Value::floating(0.5), Value::floating(NAN)})
        EXPECT_EQ(error_of(call(natives, "sdl2.set_max_fps", {fps})), "FPS must be greater than 0");
    EXPECT_TRUE(call(natives, "sdl2.set_max_fps", {Value::number(int64_t(1) << 40)}).is_null());
    // Extra arguments are ignored.
    EXPECT_TRUE(
        call(natives, "sdl2.draw_point", {Value::number(1), Value::number(2), Value::string("x")})
            .is_null());
}

TEST(GraphicsSdl2Module, WindowModeTexts) {
    NativeContext natives;
    EXPECT_EQ(call(natives, "sdl2.get_window_mode", {}).text(), "windowed");
    EXPECT_TRUE(call(natives, "sdl2.set_window_mode", {Value::string("FullScreen")}).is_null());
    EXPECT_EQ(call(natives, "sdl2.get_window_mode", {}).text(), "fullscreen");
    EXPECT_TRUE(
        call(natives, "sdl2.set_window_mode", {Value::string("WINDOWED_fullscreen")}).is_null());
    EXPECT_EQ(call(natives, "sdl2.get_window_mode", {}).text(), "windowed_fullscreen");
    // The Kelvin sign lower-cases to k, which no mode has; other kinds go by
    // their display text.
    EXPECT_TRUE(call(natives, "sdl2.set_window_mode", {Value::string("big")}).is_error());
    EXPECT_TRUE(call(natives, "sdl2.set_window_mode", {Value::number(1)}).is_error());
    EXPECT_EQ(call(natives, "sdl2.get_window_mode", {}).text(), "windowed_fullscreen");
}

TEST(GraphicsSdl2Module, ResultsWithoutAWindow) {
    NativeContext natives;
    EXPECT_TRUE(call(natives, "sdl2.init", {}).as_boolean());
    EXPECT_FALSE(call(natives, "sdl2.is_window_open", {}).as_boolean());
    EXPECT_TRUE(call(natives, "sdl2.get_window_width", {}).is_null());
    EXPECT_TRUE(call(natives, "sdl2.get_window_height", {}).is_null());
    EXPECT_TRUE(call(natives, "sdl2.clear_screen", {}).is_null());
    EXPECT_TRUE(call(natives, "sdl2.render_present", {}).is_null());
    EXPECT_TRUE(call(natives, "sdl2.delta_time", {}).is(ValueKind::Float));
    EXPECT_TRUE(call(natives, "sdl2.destroy_window", {}).is_null());
    EXPECT_TRUE(call(natives, "sdl2.fill_circle", numbers(3)).is_null());
    EXPECT_FALSE(call(natives, "sdl2.get_input_held", {Value::string("space")}).as_boolean());
    EXPECT_FALSE(call(natives, "sdl2.get_input_pressed", {Value::number(1)}).as_boolean());
    Value result;
    EXPECT_FALSE(testing_support::call_module_function("sdl2.foo", nullptr, 0, natives, result));
    EXPECT_FALSE(testing_support::call_module_function("sdl2.", nullptr, 0, natives, result));
    EXPECT_FALSE(testing_support::call_module_function("sdl2.init_", nullptr, 0, natives, result));
    EXPECT_FALSE(testing_support::call_module_function("files.init", nullptr, 0, natives, result));
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

TEST(GraphicsSdl2Module, CreateWindowAlwaysGivesOne) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    NativeContext natives;
    GraphicsContext& g = graphics_of(natives);
    Value bad = call(natives, "sdl2.create_window",
                     {Value::string("t"), Value::number(-4), Value::number(5)});
    EXPECT_EQ(bad.kind(), ValueKind::Number);
    EXPECT_EQ(bad.as_number(), 1);
    EXPECT_FALSE(g.has_window());
    Value good =
        call(natives, "sdl2.create_window",
             {Value::string("t"), Value::floating(32.9), Value::number((int64_t(1) << 32) + 24)});
    EXPECT_EQ(good.as_number(), 1);
    ASSERT_TRUE(g.has_window());
    EXPECT_EQ(call(natives, "sdl2.get_window_width", {}).as_number(), 32);
    EXPECT_EQ(call(natives, "sdl2.get_window_height", {}).as_number(), 24);
    EXPECT_TRUE(call(natives, "sdl2.is_window_open", {}).as_boolean());
    call(natives, "sdl2.destroy_window", {});
    EXPECT_FALSE(call(natives, "sdl2.is_window_open", {}).as_boolean());
    // Drawing still reaches the window: colour 300 is red 44.
    call(natives, "sdl2.set_draw_color",
         {Value::number(300), Value::number(-1), Value::floating(1e300)});
    call(natives, "sdl2.draw_point", {Value::number(3), Value::number(4)});
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(g.read_pixels(pixels, w, h));
    // 1e300 saturates to 2^63 - 1, whose low byte is 255.
    EXPECT_EQ(pixels[size_t(4 * w + 3)] & 0xFFFFFF, 0x2CFFFFu);
}

Value run(NativeContext& natives, std::string_view name, std::vector<Value> args) {
    Value result;
    EXPECT_TRUE(testing_support::call_builtin(name, args.data(), args.size(), natives, result))
        << name;
    return result;
}

TEST(GraphicsBuiltins, ShapeConstructors) {
    NativeContext natives;
    EXPECT_EQ(display_text(
                  run(natives, "color", {Value::number(256), Value::number(0), Value::number(0)})),
              "Color(0, 0, 0)");
    EXPECT_EQ(display_text(run(natives, "color",
                               {Value::number(-1), Value::floating(7.9), Value::number(511)})),
              "Color(255, 7, 255)");
    EXPECT_EQ(display_text(
                  run(natives, "rect",
                      {Value::number(-1), Value::number(2), Value::number(-1), Value::number(0)})),
              "Rect(-1, 2, 4294967295, 0)");
    EXPECT_EQ(display_text(run(natives, "circle",
                               {Value::number((int64_t(1) << 32) + 5), Value::floating(-2.5),
                                Value::floating(std::numeric_limits<double>::infinity())})),
              "Circle(5, -2, 4294967295)");
    EXPECT_EQ(display_text(run(natives, "triangle", numbers(6))), "Triangle(1, 1, 1, 1, 1, 1)");
    EXPECT_TRUE(run(natives, "rect", numbers(3)).is_null());
    EXPECT_TRUE(
        run(natives, "circle", {Value::string("1"), Value::number(1), Value::number(1)}).is_null());
    EXPECT_TRUE(run(natives, "triangle", numbers(5)).is_null());
    EXPECT_TRUE(
        run(natives, "color", {Value::number(1), Value::null(), Value::number(1)}).is_null());
}

TEST(GraphicsBuiltins, WindowAndPainters) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    NativeContext natives;
    GraphicsContext& g = graphics_of(natives);
    Value red = Value::color(255, 0, 0);
    Value square = Value::rect(1, 1, 2, 2);
    // Without a window: nothing to draw, Null everywhere, SDL untouched.
    EXPECT_TRUE(run(natives, "fill", {square, red}).is_null());
    EXPECT_TRUE(run(natives, "window_width", {}).is_null());
    EXPECT_FALSE(run(natives, "is_open", {}).as_boolean());
    EXPECT_TRUE(run(natives, "window", {Value::number(10)}).is_null());
    EXPECT_TRUE(run(natives, "window", {Value::number(10), Value::string("10")}).is_null());
    EXPECT_EQ(SDL_WasInit(0), 0u);

    run(natives, "window", {Value::number(12), Value::number(10)});
    run(natives, "window", {Value::number(50), Value::number(50)});
    ASSERT_TRUE(g.has_window());
    EXPECT_EQ(run(natives, "window_width", {}).as_number(), 12);
    EXPECT_EQ(run(natives, "window_height", {}).as_number(), 10);
    EXPECT_TRUE(run(natives, "is_open", {}).as_boolean());
    run(natives, "clear", {});
    // Bad argument pairs draw nothing.
    EXPECT_TRUE(run(natives, "fill", {red, square}).is_null());
    EXPECT_TRUE(run(natives, "draw", {square, Value::number(1)}).is_null());
    EXPECT_TRUE(run(natives, "fill", {square}).is_null());
    run(natives, "fill", {Value::rect(0, 0, 0, 0), red});                     // one pixel
    run(natives, "draw", {Value::rect(5, 5, 3, 3), Value::color(0, 0, 255)}); // outline
    run(natives, "fill", {Value::circle(9, 2, 1), Value::color(0, 255, 0)});
    run(natives, "draw", {Value::triangle(0, 9, 2, 9, 0, 9), red});
    run(natives, "draw", {Value::circle(9, 8, 0), red});
    std::vector<uint32_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(g.read_pixels(pixels, w, h));
    auto at = [&](int x, int y) { return pixels[size_t(y * w + x)] & 0xFFFFFF; };
    EXPECT_EQ(at(0, 0), 0xFF0000u);
    EXPECT_EQ(at(1, 1), 0u);
    EXPECT_EQ(at(5, 5), 0x0000FFu);
    EXPECT_EQ(at(7, 7), 0x0000FFu);
    EXPECT_EQ(at(6, 6), 0u);
    EXPECT_EQ(at(9, 2), 0x00FF00u);
    EXPECT_EQ(at(10, 2), 0x00FF00u);
    EXPECT_EQ(at(9, 3), 0x00FF00u);
    EXPECT_EQ(at(10, 3), 0u);
    EXPECT_EQ(at(0, 9), 0xFF0000u);
    EXPECT_EQ(at(2, 9), 0xFF0000u);
    EXPECT_EQ(at(9, 8), 0u);
    int lit = 0;
    for (uint32_t p : pixels)
        lit += (p & 0xFFFFFF) != 0;
    EXPECT_EQ(lit, 1 + 8 + 5 + 3);
}

} // namespace
} // namespace drevel
