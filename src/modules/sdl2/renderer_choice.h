// Which SDL renderer draws a new window's frames.
#pragma once

struct SDL_Renderer;
struct SDL_Window;

namespace drevel {

// The renderer for the window, or nullptr when none can be made. SDL
// prefers OpenGL; where OpenGL itself runs on the CPU (a software
// rasterizer such as llvmpipe: virtual X servers, most virtual machines,
// remote desktops) SDL's own software renderer draws the same pixels at
// about half the cost, and is taken instead. SDL_RENDER_DRIVER, when set,
// decides alone.
SDL_Renderer* create_renderer(SDL_Window* window);

} // namespace drevel
