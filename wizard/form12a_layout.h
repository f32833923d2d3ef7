#pragma once

#include "wizard/form12a_controls.h"

class QWidget;

namespace tallivo {

// Creates every control of the wizard window inside `window`, lays them out, colours
// them and gives them their design-time state (the "None" and "Overwrite" options
// selected, the controls that depend on them disabled, the hidden ones hidden).
void BuildForm12a(QWidget* window, Form12aControls& controls);

}  // namespace tallivo
