#include "platform/qt/player_view.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/qt/mpv_gl_view.h"
#include "platform/qt/mpv_view.h"
#include "platform/qt/render_path.h"

namespace tarnlight::qt {
namespace {

// A DRM render node or NVIDIA's driver: without either, OpenGL can only be
// a software one.
bool GpuDevicePresent() {
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator("/dev/dri", error)) {
    if (entry.path().filename().string().rfind("renderD", 0) == 0) return true;
  }
  return std::filesystem::exists("/dev/nvidiactl", error);
}

struct OpenGl {
  std::unique_ptr<QOpenGLContext> context;
  std::string renderer;  // GL_RENDERER; empty with no context
};

// The context the OpenGL view would draw with, made current once on a
// surface of its own to read its renderer.
OpenGl ProbeOpenGl() {
  OpenGl gl;
  auto context = std::make_unique<QOpenGLContext>();
  QSurfaceFormat format = QSurfaceFormat::defaultFormat();
  format.setSwapInterval(0);
  context->setFormat(format);
  if (!context->create()) return gl;
  QOffscreenSurface surface;
  surface.setFormat(context->format());
  surface.create();
  if (!context->makeCurrent(&surface)) return gl;
  if (const auto* name = context->functions()->glGetString(GL_RENDERER))
    gl.renderer = reinterpret_cast<const char*>(name);
  context->doneCurrent();
  gl.context = std::move(context);
  return gl;
}

}  // namespace

PlayerView MakePlayerView(QWidget* parent,
                          std::function<void(int)> keyPressed) {
  const char* variable = std::getenv("TARNLIGHT_RENDER");
  RenderAsked asked = RenderAskedFrom(variable);
  OpenGl gl;
  if (RendererWorthAsking(asked, GpuDevicePresent())) gl = ProbeOpenGl();
  RenderPath path = RenderPathFor(gl.renderer, asked);
  if (variable)
    std::fprintf(
        stderr, "tarnlight: drawing with %s (OpenGL renderer: %s)\n",
        path == RenderPath::OpenGl ? "OpenGL" : "the software renderer",
        gl.renderer.empty() ? "none" : gl.renderer.c_str());
  if (path == RenderPath::OpenGl) {
    auto* view =
        new MpvGlView(parent, std::move(gl.context), std::move(keyPressed));
    return {view, &view->player()};
  }
  auto* view = new MpvView(parent, std::move(keyPressed));
  return {view, &view->player()};
}

}  // namespace tarnlight::qt
