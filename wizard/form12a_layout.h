#pragma once

#include "wizard/form12a_controls.h"

class QBoxLayout;
class QWidget;

namespace tallivo {

// Where the preview can go: beside the form, or in the form's column under the buttons.
struct PreviewPlaces {
    QBoxLayout* beside;
    QBoxLayout* underButtons;
};

// Creates every control of the wizard window inside `window`, lays them out, colours
// them and gives them their design-time state (the "None" and "Overwrite" options
// selected, the controls that depend on them disabled, the hidden ones hidden). The preview
// starts under the buttons; where it shows is for PreviewPlacement to say.
PreviewPlaces BuildForm12a(QWidget* window, Form12aControls& controls);

}  // namespace tallivo
