#include "platform/qt/render_path.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace tarnlight::qt {
namespace {

// Mesa's llvmpipe, softpipe and swrast, OpenSWR, Windows' GDI renderer, and
// any driver that calls itself software (zink on lavapipe names llvmpipe).
constexpr std::string_view kSoftware[] = {
    "llvmpipe", "softpipe", "swrast", "swr", "software", "gdi generic"};

bool IsSoftware(std::string_view renderer) {
  std::string lower(renderer);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return std::any_of(std::begin(kSoftware), std::end(kSoftware),
                     [&lower](std::string_view name) {
                       return lower.find(name) != std::string::npos;
                     });
}

}  // namespace

RenderAsked RenderAskedFrom(const char* variable) {
  if (!variable) return RenderAsked::Auto;
  if (std::strcmp(variable, "opengl") == 0) return RenderAsked::OpenGl;
  if (std::strcmp(variable, "software") == 0) return RenderAsked::Software;
  return RenderAsked::Auto;
}

bool RendererWorthAsking(RenderAsked asked, bool gpuDevice) {
  return asked == RenderAsked::OpenGl ||
         (asked == RenderAsked::Auto && gpuDevice);
}

RenderPath RenderPathFor(std::string_view renderer, RenderAsked asked) {
  if (renderer.empty() || asked == RenderAsked::Software)
    return RenderPath::Software;
  if (asked == RenderAsked::OpenGl || !IsSoftware(renderer))
    return RenderPath::OpenGl;
  return RenderPath::Software;
}

}  // namespace tarnlight::qt
