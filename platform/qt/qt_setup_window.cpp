#include "platform/qt/qt_setup_window.h"

#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include "platform/form_rules.h"
#include "platform/qt/qt_platform.h"

namespace tarnlight::qt {
namespace {

int ButtonCode(Qt::MouseButtons buttons) {
  return (buttons & Qt::LeftButton ? 1 : 0) |
         (buttons & Qt::RightButton ? 2 : 0) |
         (buttons & Qt::MiddleButton ? 4 : 0);
}

int ShiftCode(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) |
         (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

QIcon IconOf(const IconLayout& icon) {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < int(icon.rows[y].size()) && x < 16; ++x) {
      std::size_t index = icon.paletteKeys.find(icon.rows[y][x]);
      if (index >= icon.palette.size()) continue;
      const Rgb& c = icon.palette[index];
      image.setPixel(x, y, qRgb(c.red, c.green, c.blue));
    }
  }
  return QIcon(QPixmap::fromImage(image));
}

}  // namespace

int QtListBox::AddItem(const std::string& text) {
  combo_->addItem(QString::fromStdString(text));
  return combo_->count() - 1;
}

std::string QtListBox::List(int index) const {
  CheckListEntry(index, combo_->count());
  return combo_->itemText(index).toStdString();
}

void QtListBox::SetListIndex(int index) {
  CheckListSelection(index, combo_->count());
  combo_->setCurrentIndex(index);
}

void EventLabel::SetMousePointer(int code) {
  setCursor(CursorOf(ShapeOfPointer(code)));
}

void EventLabel::mousePressEvent(QMouseEvent* event) {
  if (onDown) {
    QPointF at = event->position() * kTwipsPerPixel;
    onDown(ButtonCode(event->button()), ShiftCode(event->modifiers()),
           int(at.x()), int(at.y()));
  }
}

void EventLabel::mouseMoveEvent(QMouseEvent* event) {
  if (onMove) {
    QPointF at = event->position() * kTwipsPerPixel;
    onMove(ButtonCode(event->buttons()), ShiftCode(event->modifiers()),
           int(at.x()), int(at.y()));
  }
}

QtSetupWindow::QtSetupWindow(const FormLayout& layout)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
  QScreen* screen = QGuiApplication::primaryScreen();
  dpi_ = screen ? screen->logicalDotsPerInch() : 96.0;
  setObjectName(
      QString::fromUtf8(layout.name.data(), qsizetype(layout.name.size())));
  setWindowTitle(QString::fromUtf8(layout.caption.data(),
                                   qsizetype(layout.caption.size())));
  if (layout.icon) setWindowIcon(IconOf(*layout.icon));
  setFixedSize(PixelsOf(layout.clientWidth, dpi_),
               PixelsOf(layout.clientHeight, dpi_));

  std::map<const ControlLayout*, QWidget*> built;
  for (const ControlLayout& control : layout.controls)
    built[&control] = Build(control, layout);
  QWidget* previous = nullptr;
  for (const ControlLayout* control : InTabOrder(layout.controls)) {
    QWidget* widget = built[control];
    if (widget->focusPolicy() == Qt::NoFocus) continue;
    if (previous)
      QWidget::setTabOrder(previous, widget);
    else
      widget->setFocus();
    previous = widget;
  }
}

QWidget* QtSetupWindow::Build(const ControlLayout& c,
                              const FormLayout& layout) {
  QString text = QString::fromUtf8(c.text.data(), qsizetype(c.text.size()));
  std::string name(c.name);
  QWidget* widget = nullptr;
  switch (c.kind) {
    case ControlKind::Label: {
      auto* label = new EventLabel(text, this);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(
          (c.align == TextAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
          Qt::AlignTop);
      label->setFocusPolicy(Qt::NoFocus);
      label->setMouseTracking(true);
      if (c.reportsMouse) {
        label->onDown = [this, name](int b, int s, int x, int y) {
          if (events_) events_->MouseDown(name, {b, s, x, y});
        };
        label->onMove = [this, name](int b, int s, int x, int y) {
          if (events_) events_->MouseMove(name, {b, s, x, y});
        };
      }
      if (c.hasColour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText,
                         QColor(c.colour.red, c.colour.green, c.colour.blue));
        label->setPalette(palette);
      }
      labels_[name] = label;
      widget = label;
      break;
    }
    case ControlKind::TextBox: {
      auto* edit = new QLineEdit(this);
      texts_[name] = std::make_unique<QtTextBox>(edit);
      widget = edit;
      break;
    }
    case ControlKind::DropDownList: {
      auto* combo = new QComboBox(this);
      combo->setEditable(false);
      lists_[name] = std::make_unique<QtListBox>(combo);
      widget = combo;
      break;
    }
    case ControlKind::CommandButton: {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(true);
      if (c.role == ButtonRole::Default) button->setDefault(true);
      if (c.role == ButtonRole::Cancel) cancel_ = button;
      QObject::connect(button, &QPushButton::clicked, this, [this, name] {
        if (events_) events_->Click(name);
      });
      widget = button;
      break;
    }
  }
  widget->setObjectName(QString::fromStdString(name));
  if (!c.tooltip.empty())
    widget->setToolTip(
        QString::fromUtf8(c.tooltip.data(), qsizetype(c.tooltip.size())));
  if (c.font == FontChoice::Verdana) {
    QFont font(QString::fromUtf8(layout.font.family.data(),
                                 qsizetype(layout.font.family.size())));
    font.setPointSizeF(layout.font.points);
    font.setWeight(QFont::Weight(layout.font.weight));
    widget->setFont(font);
  }
  widget->setGeometry(PixelsOf(c.left, dpi_), PixelsOf(c.top, dpi_),
                      PixelsOf(c.width, dpi_), PixelsOf(c.height, dpi_));
  return widget;
}

TextBox& QtSetupWindow::TextBoxNamed(std::string_view name) {
  return *ControlNamed(texts_, name);
}
ListBox& QtSetupWindow::ListNamed(std::string_view name) {
  return *ControlNamed(lists_, name);
}
Label& QtSetupWindow::LabelNamed(std::string_view name) {
  return *ControlNamed(labels_, name);
}

void QtSetupWindow::ShowModal(WindowEvents& events) {
  events_ = &events;
  events.Load();
  Centre();
  exec();
}

void QtSetupWindow::Close() {
  events_ = nullptr;
  hide();
}

void QtSetupWindow::reject() {
  if (WindowEvents* events = events_) {
    events_ = nullptr;
    events->Closed();
  }
  QDialog::reject();
}

void QtSetupWindow::Centre() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
  }
}

// Escape clicks Cancel. An open list closes its own popup first, so this
// sees Escape only when no list is dropped down.
void QtSetupWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
      cancel_) {
    cancel_->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace tarnlight::qt
