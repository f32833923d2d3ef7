#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace tallivo {

// The usable area (taskbar and docks left out) of the screen the window opens on.
QRect UsableArea(const QWidget* window);

// The window's frame (title bar and borders) around its client area: what the window system
// reports, or an estimate where the frame is only known once a window manager has framed it.
QMargins ExpectedFrame(QWidget* window);

// true when a client area of `clientSize` with its frame fits the usable area.
bool FitsOnScreen(QWidget* window, QSize clientSize);

// Moves the window so that its whole frame lies in the usable area, as close to
// `frameTopLeft` as it can; a window too large for it keeps its title bar on screen.
void MoveInsideScreen(QWidget* window, QPoint frameTopLeft);

// Centres the window, frame included, in the usable area.
void CentreOnScreen(QWidget* window);

}  // namespace tallivo
