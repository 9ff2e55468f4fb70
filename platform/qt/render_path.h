#pragma once

#include <string_view>

namespace tarnlight::qt {

// Which view draws the clips: libmpv's software renderer into the window's
// buffer, or its OpenGL renderer into a surface of its own.
enum class RenderPath { Software, OpenGl };

// What the TARNLIGHT_RENDER diagnostic asks for: "opengl" or "software";
// anything else, or nothing, leaves the choice to the renderer.
enum class RenderAsked { Auto, Software, OpenGl };
RenderAsked RenderAskedFrom(const char* variable);

// Whether to load OpenGL only to ask for its renderer: with no GPU device
// node the answer can only be a software one, and asking costs a good part
// of a second.
bool RendererWorthAsking(RenderAsked asked, bool gpuDevice);

// `renderer` is OpenGL's GL_RENDERER, empty when there is no context. A
// software rasteriser only moves the same CPU work into the GL driver, so
// only a hardware renderer gets the OpenGL view, unless one is asked for.
RenderPath RenderPathFor(std::string_view renderer, RenderAsked asked);

}  // namespace tarnlight::qt
