#pragma once

class FormMain;

// The program's start-up, in its order. Before the main window: the user's folders, the log,
// no descriptor left for the programs started from here. Once the window is built: the
// reactions to the settings that concern the whole process, then the catalogue (or the notice
// that it could not be opened, and the end of the program), what the settings say at start and
// the update check.
namespace Startup {
void beforeWindow();
void followSettings(const FormMain &window);
// Whether the catalogue opened.
bool openCatalogue(FormMain &window);
} // namespace Startup
