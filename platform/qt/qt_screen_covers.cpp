#include "platform/qt/qt_screen_covers.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>

#include "platform/qt/keys.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_x11_top.h"

namespace tarnlight::qt {
namespace {}  // namespace

void ShowFullScreenOn(QWidget& window, QScreen& screen) {
  if (window.isFullScreen()) window.showNormal();
  // Qt picks a window's screen by its geometry too, on Wayland as well.
  window.setScreen(&screen);
  window.setGeometry(screen.geometry());
  // showFullScreen would also activate the window, and a cover that maps
  // late would take the keyboard from the saver window.
  if (window.testAttribute(Qt::WA_ShowWithoutActivating)) {
    window.setWindowState(window.windowState() | Qt::WindowFullScreen);
    window.show();
  } else {
    window.showFullScreen();
  }
  if (!OnWayland()) window.setGeometry(screen.geometry());
}

class ScreenCovers::Cover final : public QWidget {
 public:
  Cover(QScreen& screen, ScreenCovers& owner)
      : QWidget(nullptr, CoverWindowFlags()), owner_(owner) {
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::BlankCursor);
    setWindowTitle(QString());
    setAttribute(Qt::WA_ShowWithoutActivating);
    ShowFullScreenOn(*this, screen);
    // A Wayland compositor resizes a full-screen surface itself.
    if (!OnWayland())
      connect(&screen, &QScreen::geometryChanged, this,
              [this](const QRect& geometry) { setGeometry(geometry); });
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (IsCharacterKey(event->key(), event->text())) {
      owner_.keyPressed_(CharacterCode(event->text()));
      return;
    }
    event->ignore();
  }
  void closeEvent(QCloseEvent* event) override {
    event->ignore();  // as the saver window: the run's take-down hides it
    owner_.closed_();
  }
  // Tab is a character key here too.
  bool focusNextPrevChild(bool) override { return false; }

 private:
  ScreenCovers& owner_;
};

ScreenCovers::ScreenCovers(std::function<void(int)> keyPressed,
                           std::function<void()> closed)
    : keyPressed_(std::move(keyPressed)), closed_(std::move(closed)) {}

ScreenCovers::~ScreenCovers() = default;

void ScreenCovers::Start() {
  auto* application = static_cast<QGuiApplication*>(qGuiApp);
  connect(application, &QGuiApplication::screenAdded, this,
          [this] { Update(); });
  connect(application, &QGuiApplication::screenRemoved, this,
          [this] { Update(); });
  connect(application, &QGuiApplication::primaryScreenChanged, this,
          [this] { Update(); });
  Update();
}

void ScreenCovers::Stop() {
  disconnect(qGuiApp, nullptr, this, nullptr);
  covers_.clear();
}

// Qt has taken a removed screen off its list before it says so, and deletes
// it only afterwards.
void ScreenCovers::Update() {
  QScreen* primary = QGuiApplication::primaryScreen();
  const QList<QScreen*> screens = QGuiApplication::screens();
  std::erase_if(covers_, [&](const auto& cover) {
    return cover.first == primary || !screens.contains(cover.first);
  });
  for (QScreen* screen : screens) {
    if (screen != primary && !covers_.contains(screen))
      covers_.emplace(screen, std::make_unique<Cover>(*screen, *this));
  }
}

}  // namespace tarnlight::qt
