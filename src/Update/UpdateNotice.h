#pragma once

#include <QByteArray>

class QWidget;

namespace UpdateNotice {
// Tells the user over the window what the update service answered: a newer version with its
// download and details links, a failure in red, or, when the user asked (manual), that this is
// the newest.
void show(QWidget *window, const QByteArray &reply, bool manual);
} // namespace UpdateNotice
