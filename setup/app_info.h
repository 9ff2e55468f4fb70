#pragma once

#include "shared/version.h"

namespace tarnlight {

inline constexpr const char* kCreditsLine =
    TARNLIGHT_NAME " " TARNLIGHT_VERSION " - a video clip screen saver";
// The maker's page: Label4 shows the bare host, the link opens it over http.
inline constexpr const char* kWebHost = "tarnlight.example.org";
inline constexpr const char* kLinkTarget = "http://tarnlight.example.org/";

}  // namespace tarnlight
