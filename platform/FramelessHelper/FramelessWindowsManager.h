#pragma once

class QObject;
class QWindow;

// Gives a window no system frame while keeping what the frame offered: a press on the title-bar
// area moves the window, a press on its edges resizes it. Widgets marked visible in the chrome
// keep their clicks inside the title-bar area.
class FramelessWindowsManager final
{
public:
    static void addWindow(QWindow *window);
    static void setHitTestVisibleInChrome(QWindow *window, QObject *object, bool visible);
    static void setTitleBarHeight(QWindow *window, int height);
    static void setBorderWidth(QWindow *window, int width);
    static void setBorderHeight(QWindow *window, int height);
};
