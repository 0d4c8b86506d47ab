#pragma once

// The program's log, one file a day in "../cache/log": its set-up, how much it holds, and the
// last line of a clean run.
namespace ProgramLog {
// Every logger writes the day's file only, the user's alone; then the two lines every run
// begins with, whatever the detail the settings ask for.
void start();
// Every line, or warnings and errors only.
void setDetail(bool all);
// Told whatever the detail, as the start is: without it a run reads as one that crashed.
void end();
} // namespace ProgramLog
