#include "platform/qt/mpv_api.h"

#include <dlfcn.h>

#include <optional>

#ifndef TARNLIGHT_MPV_SONAME
#error "the build names the libmpv it found"
#endif

namespace tarnlight::qt {
namespace {

struct Loaded {
  std::optional<MpvApi> api;
  std::string error;
};

template <typename Fn>
bool Resolve(void* library, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(dlsym(library, name));
  return out != nullptr;
}

Loaded Load() {
  Loaded loaded;
  // Kept for the life of the process: libmpv's threads may outlive any
  // one player.
  void* library = dlopen(TARNLIGHT_MPV_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    loaded.error = std::string("The player library ") + TARNLIGHT_MPV_SONAME +
                   " could not be loaded: " + (why ? why : "unknown reason");
    return loaded;
  }
  MpvApi api{};
  bool ok =
      Resolve(library, "mpv_create", api.create) &&
      Resolve(library, "mpv_set_option_string", api.set_option_string) &&
      Resolve(library, "mpv_initialize", api.initialize) &&
      Resolve(library, "mpv_observe_property", api.observe_property) &&
      Resolve(library, "mpv_set_wakeup_callback", api.set_wakeup_callback) &&
      Resolve(library, "mpv_wait_event", api.wait_event) &&
      Resolve(library, "mpv_command_async", api.command_async) &&
      Resolve(library, "mpv_set_property_async", api.set_property_async) &&
      Resolve(library, "mpv_get_property_async", api.get_property_async) &&
      Resolve(library, "mpv_error_string", api.error_string) &&
      Resolve(library, "mpv_terminate_destroy", api.terminate_destroy) &&
      Resolve(library, "mpv_render_context_create",
              api.render_context_create) &&
      Resolve(library, "mpv_render_context_set_update_callback",
              api.render_context_set_update_callback) &&
      Resolve(library, "mpv_render_context_update",
              api.render_context_update) &&
      Resolve(library, "mpv_render_context_render",
              api.render_context_render) &&
      Resolve(library, "mpv_render_context_free", api.render_context_free);
  if (!ok) {
    loaded.error = std::string("The player library ") + TARNLIGHT_MPV_SONAME +
                   " lacks a function the saver needs";
    return loaded;
  }
  loaded.api = api;
  return loaded;
}

}  // namespace

const MpvApi* LoadMpv(std::string& error) {
  static const Loaded loaded = Load();
  error = loaded.error;
  return loaded.api ? &*loaded.api : nullptr;
}

}  // namespace tarnlight::qt
