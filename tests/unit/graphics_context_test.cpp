// The graphics context's life with real SDL2 (dummy video driver): when SDL
// is initialised and shut down, window creation rules, key sets from
// events, and frame pacing.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "modules/sdl2/graphics_context.h"
#include "modules/sdl2/key_names.h"
#include "modules/sdl2/media.h"

namespace drevel {
namespace {

// The window of the given title (window ids keep counting across tests).
SDL_Window* find_window(const char* title) {
    for (uint32_t id = 1; id < 1000; ++id) {
        SDL_Window* window = SDL_GetWindowFromID(id);
        if (window != nullptr && std::string_view(SDL_GetWindowTitle(window)) == title)
            return window;
    }
    return nullptr;
}

void use_dummy_video() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
}

TEST(GraphicsContextLife, NothingTouchesSdlWithoutAWindow) {
    use_dummy_video();
    {
        GraphicsContext g;
        g.set_color(1, 2, 3);
        g.clear_frame();
        g.plot_point(1, 1);
        g.plot_line(0, 0, 5, 5);
        g.plot_filled_rect(0, 0, 4, 4);
        g.apply_window_mode("fullscreen");
        g.present_frame();
        EXPECT_FALSE(g.has_window());
        EXPECT_FALSE(g.window_size().has_value());
        EXPECT_FALSE(g.is_open());
        EXPECT_EQ(g.window_mode(), "fullscreen");
        EXPECT_EQ(SDL_WasInit(0), 0u);
    }
    EXPECT_EQ(SDL_WasInit(0), 0u);
}

TEST(GraphicsContextLife, SubsystemsLiveAsLongAsTheWindow) {
    use_dummy_video();
    {
        GraphicsContext g;
        g.open_window("first", 64, 48);
        ASSERT_TRUE(g.has_window()) << SDL_GetError();
        EXPECT_TRUE(g.is_open());
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_EVENTS),
                  uint32_t(SDL_INIT_VIDEO | SDL_INIT_EVENTS));
        // A second request changes nothing.
        g.open_window("second", 10, 10);
        EXPECT_EQ(g.window_size(), (std::pair{64, 48}));
        EXPECT_NE(find_window("first"), nullptr);
        EXPECT_EQ(find_window("second"), nullptr);
        // A second context finds the event queue taken and stays without a
        // window, leaving the first one's subsystems alone.
        {
            GraphicsContext other;
            other.open_window("other", 10, 10);
            EXPECT_FALSE(other.has_window());
        }
        EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
        EXPECT_TRUE(g.has_window());
    }
    EXPECT_EQ(SDL_WasInit(0), 0u);
    // Once the first is gone, a new context can open its own window.
    GraphicsContext again;
    again.open_window("again", 20, 20);
    EXPECT_TRUE(again.has_window());
}

TEST(GraphicsContextLife, AbandonedWindowsLeaveNothingBehind) {
    use_dummy_video();
    GraphicsContext g;
    g.open_window(std::string_view("bad\0title", 9), 20, 20);
    EXPECT_FALSE(g.has_window());
    g.open_window("negative", -1, 20);
    EXPECT_FALSE(g.has_window());
    g.open_window("negative", 20, INT32_MIN);
    EXPECT_FALSE(g.has_window());
    EXPECT_FALSE(g.is_open());
    EXPECT_EQ(SDL_WasInit(0), 0u);
    // A later attempt starts from scratch and succeeds.
    g.open_window("good", 20, 20);
    EXPECT_TRUE(g.has_window());
}

TEST(GraphicsContextLife, NoWindowWithoutADisplay) {
    // Without a display SDL falls back on a driver that shows nothing; a
    // game would then run unseen. Only a driver asked for by name counts.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    setenv("SDL_RENDER_DRIVER", "software", 1);
    {
        GraphicsContext g;
        g.open_window("unseen", 32, 32);
        EXPECT_FALSE(g.has_window());
        EXPECT_FALSE(g.is_open());
        EXPECT_EQ(SDL_WasInit(0), 0u);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        g.open_window("asked for", 32, 32);
        EXPECT_TRUE(g.has_window()) << SDL_GetError();
    }
    setenv("SDL_VIDEODRIVER", "", 1);
    GraphicsContext empty_name;
    empty_name.open_window("unseen", 32, 32);
    EXPECT_FALSE(empty_name.has_window());
}

TEST(GraphicsContextLife, ModeBeforeTheWindowIsOnlyStored) {
    use_dummy_video();
    GraphicsContext g;
    g.apply_window_mode("fullscreen");
    g.open_window("mode", 30, 20);
    ASSERT_TRUE(g.has_window());
    EXPECT_EQ(g.window_mode(), "fullscreen");
    SDL_Window* window = find_window("mode");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    g.apply_window_mode("anything");
    EXPECT_EQ(g.window_mode(), "anything");
}

void push_key(uint32_t type, SDL_Keycode code, bool repeat = false) {
    SDL_Event event{};
    event.type = type;
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = code;
    ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
}

TEST(GraphicsContextKeys, PressedHeldAndReleasedAcrossFrames) {
    use_dummy_video();
    GraphicsContext g;
    g.open_window("keys", 16, 16);
    ASSERT_TRUE(g.has_window());
    g.present_frame(); // drain the window's own start-up events

    push_key(SDL_KEYDOWN, SDLK_SPACE);
    push_key(SDL_KEYDOWN, SDLK_LEFT);
    g.present_frame();
    EXPECT_TRUE(g.key_pressed("space"));
    EXPECT_TRUE(g.key_held("space"));
    EXPECT_TRUE(g.key_pressed("left"));
    EXPECT_FALSE(g.key_released("space"));
    EXPECT_FALSE(g.key_held("Space"));

    // Auto-repeat keeps the key held but does not press it again.
    push_key(SDL_KEYDOWN, SDLK_SPACE, true);
    g.present_frame();
    EXPECT_FALSE(g.key_pressed("space"));
    EXPECT_TRUE(g.key_held("space"));

    push_key(SDL_KEYUP, SDLK_SPACE);
    g.present_frame();
    EXPECT_TRUE(g.key_released("space"));
    EXPECT_FALSE(g.key_held("space"));
    EXPECT_TRUE(g.key_held("left"));
    g.present_frame();
    EXPECT_FALSE(g.key_released("space"));

    // Keys without a name share "unknown"; code 0 is ignored.
    push_key(SDL_KEYDOWN, SDLK_F5);
    push_key(SDL_KEYDOWN, 0);
    g.present_frame();
    EXPECT_TRUE(g.key_pressed("unknown"));
    push_key(SDL_KEYUP, SDLK_KP_1);
    g.present_frame();
    EXPECT_FALSE(g.key_held("unknown"));
    EXPECT_TRUE(g.key_released("unknown"));
}

TEST(GraphicsContextKeys, QuitEventClosesOnlyTheScriptsView) {
    use_dummy_video();
    GraphicsContext g;
    g.open_window("quit", 16, 16);
    ASSERT_TRUE(g.has_window());
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    g.present_frame();
    EXPECT_FALSE(g.is_open());
    EXPECT_TRUE(g.has_window());
}

TEST(GraphicsKeyNames, TableAndUnknown) {
    EXPECT_EQ(keys::key_name(8), "backspace");
    EXPECT_EQ(keys::key_name(13), "return");
    EXPECT_EQ(keys::key_name(27), "escape");
    EXPECT_EQ(keys::key_name('0'), "0");
    EXPECT_EQ(keys::key_name('9'), "9");
    EXPECT_EQ(keys::key_name('a'), "a");
    EXPECT_EQ(keys::key_name('z'), "z");
    EXPECT_EQ(keys::key_name(0x4000004F), "right");
    EXPECT_EQ(keys::key_name(0x40000052), "up");
    EXPECT_EQ(keys::key_name(0x400000E1), "lshift");
    EXPECT_EQ(keys::key_name(0x400000E6), "ralt");
    EXPECT_EQ(keys::key_name(0x400000E3), "unknown"); // left GUI
    EXPECT_EQ(keys::key_name('A'), "unknown");
    EXPECT_EQ(keys::key_name(127), "unknown");
    // Every name leads back to its own slot.
    for (int code : {8, 9, 13, 27, 32, int('5'), int('q'), 0x40000050, 0x400000E0, 0x400000E4})
        EXPECT_EQ(keys::slot_of_name(keys::key_name(code)), keys::slot_of_code(code));
    EXPECT_EQ(keys::slot_of_name("Space"), -1);
    EXPECT_EQ(keys::slot_of_name(""), -1);
}

TEST(GraphicsKeyNames, MouseButtonsHaveSlotsOfTheirOwn) {
    int left = keys::slot_of_mouse_button(1), middle = keys::slot_of_mouse_button(2),
        right = keys::slot_of_mouse_button(3);
    EXPECT_EQ(keys::slot_of_name("mouse_left"), left);
    EXPECT_EQ(keys::slot_of_name("mouse_middle"), middle);
    EXPECT_EQ(keys::slot_of_name("mouse_right"), right);
    EXPECT_EQ(keys::name_of_slot(right), "mouse_right");
    EXPECT_EQ(keys::slot_of_mouse_button(4), -1); // side buttons and wheels have no name
    EXPECT_EQ(keys::slot_of_mouse_button(0), -1);
    for (int slot : {left, middle, right}) {
        EXPECT_LT(slot, 64);
        for (int code : {int('z'), int('9'), 0x400000E6, 8})
            EXPECT_NE(slot, keys::slot_of_code(code));
    }
}

// The sound device holds SDL's audio subsystem for as long as the context
// lives, and SDL is shut down once the context goes.
TEST(GraphicsMedia, SoundDeviceLivesWithTheContext) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    {
        GraphicsContext g;
        Value missing = g.media().audio.play_sound("no such sound.wav");
        ASSERT_TRUE(missing.is(ValueKind::Error));
        EXPECT_EQ(missing.text(),
                  "play_sound: cannot load 'no such sound.wav': No such file or directory");
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
        // A second context finds the device taken and stays silent.
        GraphicsContext other;
        EXPECT_TRUE(other.media().audio.play_sound("no such sound.wav").is(ValueKind::Null));
    }
    EXPECT_EQ(SDL_WasInit(0), 0u);
    setenv("SDL_AUDIODRIVER", "no such driver", 1);
    {
        GraphicsContext g;
        EXPECT_TRUE(g.media().audio.play_music("no such music.ogg").is(ValueKind::Null));
        EXPECT_TRUE(g.media().audio.stop_music().is(ValueKind::Null));
    }
    EXPECT_EQ(SDL_WasInit(0), 0u);
    unsetenv("SDL_AUDIODRIVER");
}

TEST(GraphicsPacing, CapSleepsAndNoCapDoesNot) {
    GraphicsContext g;
    g.present_frame();
    // Uncapped: no sleep, so 30 presents take far less than 30/60 s.
    double uncapped = 0;
    for (int i = 0; i < 30; ++i) {
        g.present_frame();
        uncapped += g.delta_time();
    }
    EXPECT_LT(uncapped, 0.25);
    g.set_max_fps(60);
    g.present_frame();
    double total = 0;
    for (int i = 0; i < 30; ++i) {
        g.present_frame();
        total += g.delta_time();
        EXPECT_GE(g.delta_time(), 1.0 / 60 - 1e-6);
    }
    EXPECT_GE(total / 30, 1.0 / 60 - 1e-6);
    EXPECT_LT(total / 30, 0.2); // loose: a noisy machine
}

} // namespace
} // namespace drevel
