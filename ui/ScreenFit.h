#pragma once

#include <QRect>

class QScrollArea;
class QWidget;

namespace fd {

// Room a window's frame (title bar and borders) takes beyond its client area.
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 40;

// Makes a window that was built at its designed size fit the available area of a screen (the
// screen less its taskbar). A window that fits is left alone. A larger one keeps every control at
// its designed position on an inner page of the designed size, shows that page through a scroll
// area, and shrinks to the available area; its maximum size stays as it was.
// Call it once, after the window has its controls and its size. Returns the scroll area, or
// nullptr when the window fits.
QScrollArea* fitToScreen(QWidget* window, const QRect& available);

// The same, for the available area of the screen the window is on.
QScrollArea* fitToScreen(QWidget* window);

} // namespace fd
