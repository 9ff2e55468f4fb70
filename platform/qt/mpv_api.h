#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

#include <string>

namespace tarnlight::qt {

// The few libmpv functions the engine uses, resolved once from the library
// loaded at run time: the saver's window is on the screen before any player
// library is read, and a missing libmpv only makes every clip fail to open.
struct MpvApi {
  decltype(&mpv_create) create;
  decltype(&mpv_set_option_string) set_option_string;
  decltype(&mpv_initialize) initialize;
  decltype(&mpv_observe_property) observe_property;
  decltype(&mpv_set_wakeup_callback) set_wakeup_callback;
  decltype(&mpv_wait_event) wait_event;
  decltype(&mpv_command_async) command_async;
  decltype(&mpv_set_property_async) set_property_async;
  decltype(&mpv_get_property_async) get_property_async;
  decltype(&mpv_error_string) error_string;
  decltype(&mpv_terminate_destroy) terminate_destroy;
  decltype(&mpv_render_context_create) render_context_create;
  decltype(&mpv_render_context_set_update_callback)
      render_context_set_update_callback;
  decltype(&mpv_render_context_update) render_context_update;
  decltype(&mpv_render_context_render) render_context_render;
  decltype(&mpv_render_context_free) render_context_free;
};

// Any thread. The library's functions, or null with the reason in `error`;
// the first call loads, later ones give the same answer.
const MpvApi* LoadMpv(std::string& error);

}  // namespace tarnlight::qt
