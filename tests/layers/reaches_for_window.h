// Compiled as a file of a lower layer: the main window is out of its reach.
#include "Window/FormMain.h"
