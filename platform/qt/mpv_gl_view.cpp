#include "platform/qt/mpv_gl_view.h"

#include <mpv/render_gl.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QOpenGLFunctions>
#include <QVBoxLayout>

namespace tarnlight::qt {
namespace {

void* ProcAddress(void* context, const char* name) {
  return reinterpret_cast<void*>(
      static_cast<QOpenGLContext*>(context)->getProcAddress(name));
}

// What libmpv needs for zero-copy decoding on X11 (VDPAU, and VAAPI where
// the context is EGL); null elsewhere, which libmpv takes as not given.
void* X11Display() {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->display() : nullptr;
}

}  // namespace

MpvGlSurface::MpvGlSurface(QSurfaceFormat format, std::function<void()> exposed,
                           std::function<void(QKeyEvent*)> keyPressed)
    : exposed_(std::move(exposed)), keyPressed_(std::move(keyPressed)) {
  setSurfaceType(QSurface::OpenGLSurface);
  setFormat(format);
  // Over the clip, as over the rest of the saver, and under a pointer grab
  // too, which shows the cursor of the window the pointer is in.
  setCursor(Qt::BlankCursor);
}

MpvGlView::MpvGlView(QWidget* parent, std::unique_ptr<QOpenGLContext> context,
                     std::function<void(int)> keyPressed)
    : PlayerWidget(parent, std::move(keyPressed)),
      context_(std::move(context)),
      surface_(new MpvGlSurface(
          context_->format(), [this] { Draw(); },
          [this](QKeyEvent* event) { keyPressEvent(event); })),
      player_(*this) {
  QWidget* container = QWidget::createWindowContainer(surface_, this);
  container->setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(container);
  // libmpv's render context is made, and opening clips drawn unseen, before
  // the surface is first shown: it needs a native window from the start.
  surface_->create();
}

bool MpvGlView::MakeCurrent() { return context_->makeCurrent(surface_); }

int MpvGlView::CreateRender(const MpvApi& api, mpv_handle* mpv,
                            mpv_render_context** render) {
  if (!MakeCurrent()) return MPV_ERROR_UNSUPPORTED;
  char type[] = MPV_RENDER_API_TYPE_OPENGL;
  mpv_opengl_init_params init{&ProcAddress, context_.get()};
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, type},
                               {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
                               {MPV_RENDER_PARAM_X11_DISPLAY, X11Display()},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  return api.render_context_create(render, mpv, params);
}

void MpvGlView::DrawUnseen() {
  mpv_opengl_fbo fbo{int(context_->defaultFramebufferObject()), 1, 1, 0};
  int skip = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  player_.Render(params);
}

// The current frame while a clip plays, else black, on the surface's
// framebuffer, which OpenGL counts from the bottom row.
void MpvGlView::Draw() {
  if (!surface_->isExposed() || !MakeCurrent()) return;
  const qreal ratio = surface_->devicePixelRatio();
  mpv_opengl_fbo fbo{int(context_->defaultFramebufferObject()),
                     int(surface_->width() * ratio),
                     int(surface_->height() * ratio), 0};
  int flip = 1;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                               {MPV_RENDER_PARAM_FLIP_Y, &flip},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  if (!player_.Playing() || !player_.Render(params)) {
    QOpenGLFunctions* gl = context_->functions();
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
  }
  context_->swapBuffers(surface_);
}

}  // namespace tarnlight::qt
