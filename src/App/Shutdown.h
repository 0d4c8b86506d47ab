#pragma once

class FormMain;

// The end of a run, before the main window goes: the catalogue closed, the type and group shown
// and the window's geometry stored for the next start, and the log's last line. A run whose
// catalogue never opened stores nothing: the next start opens as the last good run left it.
namespace Shutdown {
void run(const FormMain &window, bool catalogueOpened);
} // namespace Shutdown
