#pragma once

#include <QHash>
#include <QPoint>
#include <QString>

class QWidget;

// Where the window appears when it is called up with several screens: on the screen that holds
// the mouse pointer, where the user last had it on that screen, else centred there.
class WindowPlacement final
{
public:
    // Remembers where the window stands on its screen, to come back there.
    void remember(const QWidget *window);
    // Moves the window onto the pointer's screen, unless it stands there already.
    void placeOnPointerScreen(QWidget *window) const;

private:
    QHash<QString, QPoint> m_positions;
};
