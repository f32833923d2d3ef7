#include "uikit/screen_fit.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace tallivo {

QRect UsableArea(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(QPoint(0, 0), window->size());
}

QMargins ExpectedFrame(QWidget* window) {
    if (window->windowFlags() & Qt::FramelessWindowHint) return {};
    // Windows knows the frame as soon as the native window exists; X11 only after the window
    // manager has framed it, so there a title bar of two text lines is assumed.
    window->winId();
    const QMargins known = window->windowHandle()->frameMargins();
    if (known.top() > 0) return known;
    const int border = 4;
    return {border, 2 * window->fontMetrics().height(), border, border};
}

bool FitsOnScreen(QWidget* window, QSize clientSize) {
    const QSize outer = clientSize.grownBy(ExpectedFrame(window));
    const QSize area = UsableArea(window).size();
    return outer.width() <= area.width() && outer.height() <= area.height();
}

void MoveInsideScreen(QWidget* window, QPoint frameTopLeft) {
    const QRect area = UsableArea(window);
    const QSize outer = window->size().grownBy(ExpectedFrame(window));
    const int x = std::max(area.left(), std::min(frameTopLeft.x(), area.right() + 1 - outer.width()));
    const int y = std::max(area.top(), std::min(frameTopLeft.y(), area.bottom() + 1 - outer.height()));
    // A top-level window's position is that of its frame.
    window->move(x, y);
}

void CentreOnScreen(QWidget* window) {
    const QRect area = UsableArea(window);
    QRect frame(QPoint(0, 0), window->size().grownBy(ExpectedFrame(window)));
    frame.moveCenter(area.center());
    MoveInsideScreen(window, frame.topLeft());
}

}  // namespace tallivo
