#pragma once

#include <QByteArray>

#include <functional>

class QWidget;

namespace UpdateNotice {
// Tells the user over the window what the update service answered: a newer version with its
// download and details links, a failure in red, or, when the user asked (wasAsked, consulted
// for that answer only), that this is the newest.
void show(QWidget *window, const QByteArray &reply, const std::function<bool()> &wasAsked);
} // namespace UpdateNotice
