#pragma once
// libmpv, loaded when the first player starts rather than with the program: it brings FFmpeg's
// libraries and some two hundred others, which a run that never plays a video would load for
// nothing at every start.
#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <string>

namespace zenvira::components {

struct MpvLibrary {
    decltype(&::mpv_create) create = nullptr;
    decltype(&::mpv_initialize) initialize = nullptr;
    decltype(&::mpv_terminate_destroy) terminate_destroy = nullptr;
    decltype(&::mpv_set_option_string) set_option_string = nullptr;
    decltype(&::mpv_set_wakeup_callback) set_wakeup_callback = nullptr;
    decltype(&::mpv_observe_property) observe_property = nullptr;
    decltype(&::mpv_command_async) command_async = nullptr;
    decltype(&::mpv_set_property_async) set_property_async = nullptr;
    decltype(&::mpv_get_property) get_property = nullptr;
    decltype(&::mpv_wait_event) wait_event = nullptr;
    decltype(&::mpv_error_string) error_string = nullptr;
    decltype(&::mpv_render_context_create) render_context_create = nullptr;
    decltype(&::mpv_render_context_free) render_context_free = nullptr;
    decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback = nullptr;
    decltype(&::mpv_render_context_update) render_context_update = nullptr;
    decltype(&::mpv_render_context_render) render_context_render = nullptr;
};

// libmpv's functions, loaded on the first call (once per process, from any thread); nullptr
// with one line saying why in `error` when it cannot be loaded.
const MpvLibrary* mpvLibrary(std::string& error);

}  // namespace zenvira::components
