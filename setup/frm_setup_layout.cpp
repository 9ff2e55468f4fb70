#include "setup/frm_setup_layout.h"

#include <array>

#include "setup/app_info.h"

namespace tarnlight {
namespace {

using K = ControlKind;
using F = FontChoice;
using A = TextAlign;
using R = ButtonRole;

constexpr Rgb kNone{0, 0, 0};
constexpr Rgb kDarkBlue{0, 0, 128};

// clang-format off
constexpr std::array<ControlLayout, 13> kControls{{
  // name          kind             text                        left   top  width height tab font        tooltip                                                          colour?   colour     align     role       mouse
  {"lblFolder",   K::Label,         "Folder containing vids:",   120,  270, 2055,  255,  0, F::Verdana, "",                                                              false, kNone,     A::Left,   R::None, false},
  {"txtSource",   K::TextBox,       "",                         2280,  240, 3735,  285,  1, F::Verdana, "Path to the folder containing video clips (e.g. c:\\vid_clips\\", false, kNone,     A::Left,   R::None, false},
  {"Label1",      K::Label,         "Interval between clips:",   120,  630, 2175,  255,  5, F::Verdana, "",                                                              false, kNone,     A::Left,   R::None, false},
  {"txtInterval", K::TextBox,       "",                         2280,  600,  375,  285,  4, F::Verdana, "Interval time between video clips",                             false, kNone,     A::Left,   R::None, false},
  {"Label2",      K::Label,         "seconds",                  2760,  630,  735,  255,  6, F::Verdana, "",                                                              false, kNone,     A::Left,   R::None, false},
  {"Label6",      K::Label,         "Only play between:",        120,  990, 2175,  255, 10, F::Verdana, "",                                                              false, kNone,     A::Left,   R::None, false},
  {"lstFrom",     K::DropDownList,  "",                         2280,  960,  975,  315, 11, F::DialogDefault, "",                                                        false, kNone,     A::Left,   R::None, false},
  {"Label5",      K::Label,         ".. and ..",                3360,  990,  735,  255,  9, F::Verdana, "",                                                              false, kNone,     A::Left,   R::None, false},
  {"lstUntil",    K::DropDownList,  "",                         4200,  960,  975,  315, 12, F::DialogDefault, "",                                                        false, kNone,     A::Left,   R::None, false},
  {"Command1",    K::CommandButton, "OK",                       3480, 1560, 1215,  375,  3, F::Verdana, "",                                                              false, kNone,     A::Left,   R::Default, false},
  {"cmdClose",    K::CommandButton, "Cancel",                   4800, 1560, 1215,  375,  2, F::Verdana, "",                                                              false, kNone,     A::Left,   R::Cancel, false},
  {"Label3",      K::Label,         kCreditsLine,                840, 2280, 4455,  255,  7, F::Verdana, "",                                                              true,  kDarkBlue, A::Centre, R::None, false},
  {"Label4",      K::Label,         kWebHost,                    840, 2520, 4455,  255,  8, F::Verdana, "",                                                              true,  kDarkBlue, A::Centre, R::None, true},
}};

constexpr std::array<Rgb, 3> kPalette{{{0, 0, 0}, {128, 128, 128}, {192, 192, 192}}};

// A film camera with two reels on a tripod.
constexpr IconLayout kIcon{"kgl", kPalette, {
  "  kkk   kkk     ",
  " kgggk kgggk    ",
  " kglgk kglgk    ",
  " kgggk kgggk    ",
  "  kkk   kkk     ",
  " kkkkkkkkkkk   k",
  " kgggggggggk  kk",
  " kglllllllgkkkgk",
  " kgggggggggk  kk",
  " kkkkkkkkkkk   k",
  "      kgk       ",
  "     k g k      ",
  "    k  g  k     ",
  "   k   g   k    ",
  "  k    g    k   ",
  " k     g     k  ",
}};
// clang-format on

constexpr FormLayout kLayout{
    "frmSetup", "Tarnlight Setup", 6195, 2910, true, true,
    FontLayout{"Verdana", 8.25, 400}, &kIcon, kControls};

}  // namespace

const FormLayout& FrmSetupLayout() { return kLayout; }

}  // namespace tarnlight
