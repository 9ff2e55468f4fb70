#include "platform/qt/player_widget.h"

#include <QKeyEvent>

#include "platform/qt/keys.h"

namespace tarnlight::qt {

PlayerWidget::PlayerWidget(QWidget* parent, std::function<void(int)> keyPressed)
    : QWidget(parent), keyPressed_(std::move(keyPressed)) {
  setFocusPolicy(Qt::StrongFocus);
  hide();
}

void PlayerWidget::Show(PixelRect where) {
  setGeometry(where.left, where.top, where.width, where.height);
  show();
  raise();
  setFocus(Qt::OtherFocusReason);
}

void PlayerWidget::Hide() {
  if (hasFocus() && parentWidget()) parentWidget()->setFocus();
  hide();
}

void PlayerWidget::keyPressEvent(QKeyEvent* event) {
  if (!IsCharacterKey(event->key(), event->text())) {
    event->ignore();
    return;
  }
  if (keyPressed_) keyPressed_(CharacterCode(event->text()));
}

}  // namespace tarnlight::qt
