#pragma once

#include <QButtonGroup>
#include <QWidget>
#include <vector>

#include "wizard/form12a_controls.h"

namespace tallivo {

// The user-operable controls in the order the window reads: frame by frame from top to
// bottom and left to right, inside a frame row by row, then the buttons.
std::vector<QWidget*> ReadingOrder(const Form12aControls& controls);

// Tab follows `order`; the window is set up from the keyboard alone.
void SetTabOrder(const std::vector<QWidget*>& order);

// Tab stops at the chosen option of `group` (the first when none is chosen); the arrow keys
// move between its options.
void TabToChosenOption(QButtonGroup* group);

// What assistive technology says for controls whose caption alone is ambiguous or missing:
// the lists and text boxes without a caption of their own, and the captions the window shows
// twice (the barcode and quantity halves, the file header and file terminator frames).
void DescribeForAssistiveTechnology(const Form12aControls& controls);

}  // namespace tallivo
