#include "interpreter/native_modules.h"

#include <array>

namespace drevel {

std::span<const NativeModule> native_modules() {
    static const std::array<NativeModule, 3> modules = {{
        {"files",
         {"read", "write", "append", "delete", "exists", "create_folder", "delete_folder", "list",
          "is_file", "is_folder"}},
        {"http", {"page", "serve", "template", "json", "status", "send", "get", "post"}},
        {"sdl2",
         {"init",
          "create_window",
          "destroy_window",
          "set_window_title",
          "set_window_mode",
          "get_window_mode",
          "clear_screen",
          "render_present",
          "set_draw_color",
          "set_max_fps",
          "delta_time",
          "draw_point",
          "draw_line",
          "draw_rect",
          "fill_rect",
          "draw_circle",
          "fill_circle",
          "draw_triangle",
          "fill_triangle",
          "get_window_width",
          "get_window_height",
          "is_window_open",
          "get_input_pressed",
          "get_input_released",
          "get_input_held",
          "draw_text",
          "set_font",
          "text_width",
          "get_mouse_x",
          "get_mouse_y",
          "draw_image",
          "play_sound",
          "play_music",
          "stop_music"}},
    }};
    return modules;
}

std::vector<std::string> module_paths(const std::string& name) {
    size_t dot = name.find('.');
    if (dot != std::string::npos) {
        return {".drevel/modules/" + name.substr(0, dot) + "/" + name.substr(dot + 1) +
                "/index.dv"};
    }
    return {name + ".dv", ".drevel/modules/" + name + "/index.dv"};
}

const NativeModule* find_native_module(std::string_view name) {
    for (const NativeModule& module : native_modules())
        if (module.name == name) return &module;
    return nullptr;
}

} // namespace drevel
