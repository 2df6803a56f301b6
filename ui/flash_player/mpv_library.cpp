#include "ui/flash_player/mpv_library.h"

#include "platform/loadable_module.h"

#include <mutex>

namespace zenvira::components {

namespace {

// The library whose interface the headers describe: version 2 of the client interface is
// libmpv.so.2 (Debian's libmpv2).
static_assert(MPV_CLIENT_API_VERSION >> 16 == 2, "libmpv's file name below goes with its interface version");
constexpr const char* kLibraryName = "libmpv.so.2";

template <typename Function>
bool find(const platform::LoadedModule& library, const char* name, Function& function, std::string& error) {
    function = reinterpret_cast<Function>(platform::moduleFunction(library, name));
    if (!function) error = std::string("The video player could not be loaded: ") + kLibraryName + " has no " + name;
    return function != nullptr;
}

const MpvLibrary* load(std::string& error) {
    const auto library = platform::loadModule(kLibraryName);
    if (!library.handle) {
        error = "The video player could not be loaded: " + library.error;
        return nullptr;
    }
    static MpvLibrary mpv;
    const bool complete = find(library, "mpv_create", mpv.create, error) &&
                          find(library, "mpv_initialize", mpv.initialize, error) &&
                          find(library, "mpv_terminate_destroy", mpv.terminate_destroy, error) &&
                          find(library, "mpv_set_option_string", mpv.set_option_string, error) &&
                          find(library, "mpv_set_wakeup_callback", mpv.set_wakeup_callback, error) &&
                          find(library, "mpv_observe_property", mpv.observe_property, error) &&
                          find(library, "mpv_command_async", mpv.command_async, error) &&
                          find(library, "mpv_set_property_async", mpv.set_property_async, error) &&
                          find(library, "mpv_get_property", mpv.get_property, error) &&
                          find(library, "mpv_wait_event", mpv.wait_event, error) &&
                          find(library, "mpv_error_string", mpv.error_string, error) &&
                          find(library, "mpv_render_context_create", mpv.render_context_create, error) &&
                          find(library, "mpv_render_context_free", mpv.render_context_free, error) &&
                          find(library, "mpv_render_context_set_update_callback",
                               mpv.render_context_set_update_callback, error) &&
                          find(library, "mpv_render_context_update", mpv.render_context_update, error) &&
                          find(library, "mpv_render_context_render", mpv.render_context_render, error);
    return complete ? &mpv : nullptr;
}

}  // namespace

const MpvLibrary* mpvLibrary(std::string& error) {
    static std::once_flag once;
    static const MpvLibrary* library = nullptr;
    static std::string failure;
    std::call_once(once, [] { library = load(failure); });
    error = failure;
    return library;
}

}  // namespace zenvira::components
