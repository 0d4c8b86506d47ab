#pragma once

class QWidget;

class KelWidgetHelper final
{
public:
    // Holds a top-level window above ordinary windows, or returns it to the ordinary stacking
    // order. With keepShown a visible window stays shown at the same position and size.
    static void setWindowStaysOnTop(QWidget *widget, bool onTop, bool keepShown);
};
