#include "App/Program.h"

#include "App/Shutdown.h"
#include "App/Startup.h"
#include "Window/FormMain.h"

Program::Program()
{
    Startup::beforeWindow();
    m_window = std::make_unique<FormMain>();
    Startup::followSettings(*m_window);
    m_catalogueOpened = Startup::openCatalogue(*m_window);
    m_window->setStarted();
}

Program::~Program()
{
    Shutdown::run(*m_window, m_catalogueOpened);
}
