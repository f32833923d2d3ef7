#include "uikit/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace tallivo {

namespace {
double LogicalDpi(const QWidget* widget) {
    if (widget != nullptr && widget->screen() != nullptr) return widget->screen()->logicalDotsPerInch();
    if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->logicalDotsPerInch();
    return 96.0;
}
}  // namespace

int TwipsToPixels(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * LogicalDpi(widget) / 1440.0));
}

QRect TwipsRect(int left, int top, int width, int height, const QWidget* widget) {
    return QRect(TwipsToPixels(left, widget), TwipsToPixels(top, widget), TwipsToPixels(width, widget),
                 TwipsToPixels(height, widget));
}

}  // namespace tallivo
