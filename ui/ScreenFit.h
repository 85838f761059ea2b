#pragma once

#include <QList>
#include <QRect>

class QScrollArea;
class QWidget;

namespace fd::ui {

// Room a window's frame (title bar and borders) takes beyond its client area.
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 40;

// Makes a window that was built at its designed size fit the available area of a screen (the
// screen less its taskbar). A window that fits is left alone. A larger one keeps every control at
// its designed position on an inner page, shows that page through a scroll area, and shrinks to
// the available area; its maximum size stays as it was.
//
// `actions` are the window's own buttons (保存, 关闭): they stay in view in a row below the
// scrolled page, at their designed horizontal places and in their designed order, and the page
// ends below its lowest other control. Where the width fits, the window is widened by the
// vertical scroll bar, so no horizontal bar appears; likewise for the height.
//
// Call it once, after the window has its controls and its size; a later call (another screen)
// sizes the window again for the new area. Returns the scroll area, or nullptr when the window
// fits.
QScrollArea* fitToScreen(QWidget* window, const QRect& available, const QList<QWidget*>& actions = {});

// The same, for the available area of the screen the window is on.
QScrollArea* fitToScreen(QWidget* window, const QList<QWidget*>& actions = {});

} // namespace fd::ui
