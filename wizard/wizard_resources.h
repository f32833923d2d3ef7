#pragma once

namespace tallivo {

// The pictures and icons are linked in from a static library, so their registration has
// to be asked for before the first window uses them. Safe to call more than once.
void LoadWizardResources();

}  // namespace tallivo
