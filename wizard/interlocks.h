#pragma once

#include "wizard/form12a_controls.h"

namespace tallivo {

// Connects the rules that keep the window's controls consistent to the controls' change
// signals, so a rule runs at once, in full, whether the user or code changed the control.
// A rule that changes another control triggers that control's rule in turn.
void ConnectInterlocks(const Form12aControls& controls);

}  // namespace tallivo
