// Compiled as a file of the base layer: Qt Widgets is out of its reach.
#include <QWidget>
