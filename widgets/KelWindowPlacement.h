#pragma once

#include "kelwidgets_export.h"

class QWidget;

// Where a window opened from another one appears: on the screen of the window it was opened
// from, centred on it, and never larger than the room that screen leaves.
class KELWIDGETS_EXPORT KelWindowPlacement
{
public:
    // Shrinks the window to the available geometry of the screen the anchor's window stands on,
    // if it is larger, and centres it on that window, kept inside the same area. Without a
    // visible anchor, centred on the screen that holds the mouse pointer. Call it before the
    // window is shown.
    static void placeOver(QWidget *window, const QWidget *anchor);
};
