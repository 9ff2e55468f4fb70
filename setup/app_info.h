#pragma once

namespace tarnlight {

inline constexpr const char* kProgramTitle = "Tarnlight";
inline constexpr const char* kProgramVersion = "1.00";
inline constexpr const char* kCreditsLine =
    "Tarnlight 1.00 - a video clip screen saver";
// The maker's page: Label4 shows the bare host, the link opens it over http.
inline constexpr const char* kWebHost = "tarnlight.example.org";
inline constexpr const char* kLinkTarget = "http://tarnlight.example.org/";

}  // namespace tarnlight
