#include "platform/qt/mpv_view.h"

#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QWindow>

#include "platform/qt/qt_platform.h"

namespace tarnlight::qt {

MpvView::MpvView(QWidget* parent, std::function<void(int)> keyPressed)
    : PlayerWidget(parent, std::move(keyPressed)), player_(*this) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int MpvView::CreateRender(const MpvApi& api, mpv_handle* mpv,
                          mpv_render_context** render) {
  char type[] = MPV_RENDER_API_TYPE_SW;
  mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, type},
                               {MPV_RENDER_PARAM_INVALID, nullptr}};
  return api.render_context_create(render, mpv, params);
}

void MpvView::DrawUnseen() {
  player_.Draw({scratch_.data(), {1, 1}, scratch_.size(), "bgr0"});
}

void MpvView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!painter.isActive()) return;  // nothing to paint on, no player to ask
  if (player_.Playing() && (DrawInWindow(painter) || DrawInOwnBuffer(painter)))
    return;
  painter.fillRect(rect(), Qt::black);
}

// Straight into the window's buffer where libmpv can draw there, which
// saves copying every frame once more from a buffer of the view's own.
bool MpvView::DrawInWindow(QPainter& painter) {
  if (windowRefused_) return false;
  std::optional<PixelTarget> to =
      PixelTargetIn(painter.paintEngine()->paintDevice(),
                    painter.deviceTransform(), rect(), AlphaShown());
  if (!to) return false;
  if (player_.Draw(*to)) return true;
  // A libmpv without the format: the view's own buffer from now on.
  windowRefused_ = true;
  return false;
}

bool MpvView::DrawInOwnBuffer(QPainter& painter) {
  qreal ratio = devicePixelRatioF();
  QSize size = (QSizeF(this->size()) * ratio).toSize();
  if (size.isEmpty()) return false;
  std::optional<PixelTarget> to = frame_.Prepare(size, ratio);
  if (!to || !player_.Draw(*to)) return false;
  painter.drawImage(rect(), frame_.image());
  return true;
}

// Qt gives an opaque X11 window a buffer with alpha only because it
// blends faster; the X server drops that byte. Elsewhere (Wayland) the
// compositor may honour it.
bool MpvView::AlphaShown() const {
  const QWindow* shown = window()->windowHandle();
  return !OnX11() || !shown || shown->format().hasAlpha();
}

}  // namespace tarnlight::qt
