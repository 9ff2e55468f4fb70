#include "setup/frm_setup.h"

#include <string>

#include "helpers/conversions.h"
#include "platform/error.h"
#include "setup/app_info.h"
#include "setup/frm_setup_layout.h"
#include "shared/program.h"
#include "shared/settings.h"

namespace tarnlight {
namespace {

std::string SelectedText(const ListBox& list) {
  int index = list.ListIndex();
  return index >= 0 && index < list.ListCount() ? list.List(index) : "";
}

}  // namespace

frmSetup::frmSetup(const Module1& m, Services& s, Lifecycle& lifecycle)
    : m_(m),
      s_(s),
      lifecycle_(lifecycle),
      window_(s.windows.CreateSetupWindow(FrmSetupLayout())) {
  lifecycle_.AtEnd([this] { window_->Close(); });
}

void frmSetup::ShowModal() { window_->ShowModal(*this); }

void frmSetup::Run(const std::function<void()>& handler) {
  Dispatch(handler, [this](const PlatformError& e) {
    s_.messageBox.MsgBox(
        e.description() + " (Error " + std::to_string(e.number()) + ")",
        kProgramName);
  });
}

void frmSetup::Load() {
  Run([this] { Form_Load(); });
}

void frmSetup::Click(std::string_view control) {
  if (control == "Command1") Run([this] { Command1_Click(); });
  if (control == "cmdClose") Run([this] { cmdClose_Click(); });
}

void frmSetup::MouseDown(std::string_view control, MouseInfo m) {
  if (control == "Label4")
    Run([this, m] { Label4_MouseDown(m.button, m.shift, m.x, m.y); });
}

void frmSetup::MouseMove(std::string_view control, MouseInfo m) {
  if (control == "Label4")
    Run([this, m] { Label4_MouseMove(m.button, m.shift, m.x, m.y); });
}

void frmSetup::Form_Load() {
  Settings settings(s_.store);
  TextBox& source = window_->TextBoxNamed("txtSource");
  source.SetText(settings.Get(key::kVidFolder));
  if (source.Text().empty())
    settings.SaveDefault(key::kVidFolder, defaults::kVidFolder);
  TextBox& interval = window_->TextBoxNamed("txtInterval");
  interval.SetText(settings.Get(key::kIntervalTime));
  if (interval.Text().empty())
    settings.SaveDefault(key::kIntervalTime, defaults::kIntervalTime);
  FillTimes(window_->ListNamed("lstFrom"), m_.timeFrom);
  FillTimes(window_->ListNamed("lstUntil"), m_.timeUntil);
}

// The 48 half hours of a day, selecting the one equal to `current`. A time
// not among them (set by hand: 10:15, 23:59) is offered as one more entry
// and selected, so that OK keeps it unless the user picks another.
void frmSetup::FillTimes(ListBox& list, const std::string& current) {
  int selected = -1;
  for (int hour = 0; hour < 24; ++hour) {
    for (const char* minutes : {":00", ":30"}) {
      std::string entry = TwoDigits(hour) + minutes;
      int index = list.AddItem(entry);
      if (entry == current) selected = index;
    }
  }
  if (selected < 0) selected = current.empty() ? 0 : list.AddItem(current);
  list.SetListIndex(selected);
}

void frmSetup::Command1_Click() {
  TextBox& source = window_->TextBoxNamed("txtSource");
  std::string folder = source.Text();
  if (folder.empty() || folder.back() != '\\') source.SetText(folder + "\\");
  Settings settings(s_.store);
  settings.Save(key::kVidFolder, source.Text());
  settings.Save(key::kIntervalTime,
                window_->TextBoxNamed("txtInterval").Text());
  settings.Save(key::kTimeFrom, SelectedText(window_->ListNamed("lstFrom")));
  settings.Save(key::kTimeUntil, SelectedText(window_->ListNamed("lstUntil")));
  lifecycle_.EndProgram();
}

void frmSetup::cmdClose_Click() { lifecycle_.EndProgram(); }

void frmSetup::Label4_MouseDown(int button, int, int, int) {
  if (button & 1) OpenLink();
  s_.pointer.SetMousePointer(pointer::kDefault);
}

void frmSetup::Label4_MouseMove(int, int, int, int) {
  window_->LabelNamed("Label4").SetMousePointer(pointer::kArrowQuestion);
}

// The shell call blocks, so the hourglass shows for as long as it takes.
void frmSetup::OpenLink() {
  const std::string target = kLinkTarget;
  try {
    s_.pointer.SetMousePointer(pointer::kHourglass);
    s_.shell.Open(target, window_->NativeHandle());
  } catch (const PlatformError& e) {
    s_.messageBox.MsgBox("Unable to load '" + target +
                             "' : " + e.description() + " (Error " +
                             std::to_string(e.number()) + ")",
                         kProgramName);
  }
}

}  // namespace tarnlight
