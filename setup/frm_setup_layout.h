#pragma once

#include "platform/form_layout.h"

namespace tarnlight {

// The setup dialog before any handler has run: 413 x 194 pixels of client
// area at 96 dpi, thirteen controls, text boxes empty and lists without
// entries.
const FormLayout& FrmSetupLayout();

}  // namespace tarnlight
