#pragma once

#include <QtGlobal>

#include <memory>

class FormMain;

// The running program with its main window: started as it is made (Startup), ended as it goes
// (Shutdown). main() runs one; the tests run the program through it as well.
class Program final
{
public:
    Program();
    ~Program();
    Q_DISABLE_COPY_MOVE(Program)

    FormMain &window() { return *m_window; }

private:
    std::unique_ptr<FormMain> m_window;
    bool m_catalogueOpened = false;
};
