#pragma once

#include <QFont>

namespace tallivo {

// MS Sans Serif at the given size; where that face is missing the nearest sans-serif
// face installed stands in.
QFont WindowFont(double pointSize, bool bold);

}  // namespace tallivo
