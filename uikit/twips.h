#pragma once

#include <QRect>

class QWidget;

namespace tallivo {

// Window measures are given in twips (1440 to the inch); pixels follow the screen's
// logical resolution so the windows keep their proportions at any DPI.
int TwipsToPixels(int twips, const QWidget* widget = nullptr);
QRect TwipsRect(int left, int top, int width, int height, const QWidget* widget = nullptr);

}  // namespace tallivo
