#include <QGuiApplication>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

#include "Desktop/Activation.h"
#include "App/CommandLine.h"
#include "Desktop/DesktopShortcut.h"
#include "Core/DataControl.h"
#include "Window/FormMain.h"
#include "App/Program.h"
#include "Icons/IconLoader.h"
#include "QtSingleApplication.h"
#include "App/SessionEnd.h"
#include "Core/SettingsControl.h"
#include "App/TerminationWatcher.h"

#include <easylogging++.h>

int main(int argc, char *argv[])
{
    const QString id = QStringLiteral("Quiver");
    CommandLine line;
    // A plain start, as from the menu or at login, has nothing to read.
    if (argc > 1) {
        // Read before the application object, which needs a display: "--help" works anywhere.
        QCoreApplication reading(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(QUIVER_VERSION));
        line = CommandLine::parse(QCoreApplication::arguments());
        // Needs no display: GSettings and D-Bus only.
        if (!line.exitCode && line.removeShortcut)
            return DesktopShortcut::removeOurs() ? 0 : 1;
    }
    if (line.exitCode) {
        std::fputs(line.output.toLocal8Bit().constData(), stdout);
        std::fputs(line.error.toLocal8Bit().constData(), stderr);
        return *line.exitCode;
    }

    // The hotkey, the keyboard catch and taking the focus all work through X11: in a Wayland
    // session the program runs under XWayland unless told otherwise.
    const bool platformChosen =
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY");
    if (platformChosen)
        qputenv("QT_QPA_PLATFORM", "xcb");
    // Qt would abort with a core dump.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("Quiver: 没有可用的图形显示 (DISPLAY 未设置)\n", stderr);
        return 1;
    }

    // Nothing here draws with OpenGL; probing for it loads Mesa, which costs about 100 ms of
    // start-up and 50 MB of memory. A value set by the user still wins.
    const bool glProbeOff = qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION");
    if (glProbeOff)
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    // Qt would close every window when the session ends; the main window ignores its close
    // (it hides to the tray), which a session manager takes for a refused logout. The session's
    // end quits the program instead, as "退出" does.
    QGuiApplication::setFallbackSessionManagementEnabled(false);
    // Qt's X11 support takes the startup identifier out of the environment as it starts.
    const QString callerToken = Activation::callerToken();
    QtSingleApplication app(id, argc, argv);
    Activation::forgetCaller();
    // Chosen for this program alone: what it starts picks its own platform.
    if (platformChosen)
        qunsetenv("QT_QPA_PLATFORM");
    const SessionEnd sessionEnd;
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIVER_VERSION));

    // Without it Qt's own dialog texts stay in English.
    QTranslator translator;
    if (translator.load(QStringLiteral("../lang/qt_zh_CN.qm")))
        QCoreApplication::installTranslator(&translator);

    SettingsControl &settings = SettingsControl::instance();
    const bool singleApp = settings.isSingleApp();
    using Command = CommandLine::Command;
    // Asked in every process: the first one becomes the instance the others hand over to. A
    // command goes to it whatever "Form/IsSingleApp" says.
    const Activation::Request activation = Activation::fromCaller(callerToken);
    if (app.isRunning() && (singleApp || line.command != Command::Start))
        return app.sendMessage(line.message(activation), 5000) ? 0 : 1;
    // Nothing runs to hide or to end.
    if (line.command == Command::Hide || line.command == Command::Quit)
        return 0;

    TerminationWatcher terminationWatcher;
    DataControl::instance().checkCatalogueAhead();
    Program program;
    FormMain &window = program.window();
    if (!app.folderProblem().isEmpty())
        LOG(WARNING) << "单实例文件夹不安全, 不与其他实例交接: " << app.folderProblem();
    // Qt chooses its OpenGL integration with the first native window, which the main window's
    // construction made. The programs started from here get the user's environment: Qt Quick
    // programs need their OpenGL.
    if (glProbeOff)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    app.setActivationWindow(&window, false);
    QObject::connect(
        &app, &QtSingleApplication::messageReceived, &window, [&window](const QString &message) {
            Activation::Request request;
            const CommandLine received = CommandLine::fromMessage(message, &request);
            window.onCommand(received.command, request);
            // After the window manager has seen the window with it.
            QTimer::singleShot(1000, [token = request.token] { Activation::end(token); });
        });
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // The first window takes the focus from the window the user typed in before starting us.
    Activation::prepare(activation);
    // Asked to show, it shows even when it would start to the tray.
    if (!settings.isAppRunThenHide() || line.command == Command::Show ||
        line.command == Command::Toggle)
        window.show();
    else if (!window.canHide(false))
        window.showMinimized(); // nothing else could bring a hidden window back
    // Qt ends the starter's launch feedback when it maps a window; started to the tray, it
    // maps none.
    QTimer::singleShot(1000, [callerToken] { Activation::end(callerToken); });
    // Task bars and window switchers show every window of ours with the program icon. Decoding
    // its sizes waits for the event loop, after the window's map request has gone out; a task
    // bar takes the icon whenever it is set.
    QTimer::singleShot(0, [] { QApplication::setWindowIcon(IconLoader::instance().appIcon()); });
    // Once the window manager has placed the window, so that the question stands over it.
    QTimer::singleShot(300, &window, &FormMain::onFirstStart);

    return app.exec();
}
