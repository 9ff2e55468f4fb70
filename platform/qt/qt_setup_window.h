#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <map>
#include <memory>
#include <string>

#include "platform/form_layout.h"
#include "platform/window.h"

namespace tarnlight::qt {

// A text that is not UTF-8 (a folder name in Latin-1) can only be shown
// with replacement characters; while the user leaves it as shown, it is
// given back as it was set, so that OK does not change it.
class QtTextBox final : public TextBox {
 public:
  explicit QtTextBox(QLineEdit* edit) : edit_(edit) {}
  std::string Text() const override {
    const QString shown = edit_->text();
    return shown == shown_ ? set_ : shown.toStdString();
  }
  void SetText(const std::string& text) override {
    set_ = text;
    shown_ = QString::fromStdString(text);
    edit_->setText(shown_);
  }

 private:
  QLineEdit* edit_;
  std::string set_;
  QString shown_;
};

class QtListBox final : public ListBox {
 public:
  explicit QtListBox(QComboBox* combo) : combo_(combo) {}
  int AddItem(const std::string& text) override;
  int ListCount() const override { return combo_->count(); }
  std::string List(int index) const override;
  int ListIndex() const override { return combo_->currentIndex(); }
  void SetListIndex(int index) override;

 private:
  QComboBox* combo_;
};

// A label that can report the mouse to the dialog's handlers.
class EventLabel final : public QLabel, public Label {
 public:
  using MouseHandler = std::function<void(int button, int shift, int x, int y)>;
  EventLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}
  void SetMousePointer(int code) override;
  MouseHandler onDown, onMove;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
};

// The setup dialog, built from its layout: a fixed-size tool window,
// centred, with the layout's tab order and default and cancel buttons.
class QtSetupWindow final : public QDialog, public SetupWindow {
 public:
  explicit QtSetupWindow(const FormLayout& layout);

  TextBox& TextBoxNamed(std::string_view name) override;
  ListBox& ListNamed(std::string_view name) override;
  Label& LabelNamed(std::string_view name) override;
  std::uintptr_t NativeHandle() const override { return winId(); }
  void ShowModal(WindowEvents& events) override;
  void Close() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The close box: the dialog goes and writes nothing.
  void reject() override;

 private:
  QWidget* Build(const ControlLayout& control, const FormLayout& layout);
  void Centre();

  double dpi_;  // logical dots per inch of the primary screen
  WindowEvents* events_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::map<std::string, std::unique_ptr<QtTextBox>, std::less<>> texts_;
  std::map<std::string, std::unique_ptr<QtListBox>, std::less<>> lists_;
  std::map<std::string, EventLabel*, std::less<>> labels_;
};

}  // namespace tarnlight::qt
