#pragma once

#include <QHash>
#include <QPoint>
#include <QString>

class QWidget;

// Where the window appears when it is called up: centred on the screen that holds the mouse
// pointer, or where it was last. With several screens "where it was last" is on the pointer's
// screen too: where the user last had it there, else centred there.
class WindowPlacement final
{
public:
    // Remembers where the window stands on its screen, to come back there.
    void remember(const QWidget *window);
    // Moves the window onto the pointer's screen: centred there when atCursor, else back where
    // it last stood on it, unless it stands there already.
    void placeOnPointerScreen(QWidget *window, bool atCursor) const;

private:
    QHash<QString, QPoint> m_positions;
};
