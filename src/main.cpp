#include <QGuiApplication>
#include <QTimer>
#include <QTranslator>

#include "FormMain.h"
#include "QtSingleApplication.h"
#include "SettingsControl.h"
#include "TerminationWatcher.h"

int main(int argc, char *argv[])
{
    const QString id = QStringLiteral("Quiver");
    // Nothing here draws with OpenGL; probing for it loads Mesa, which costs about 100 ms of
    // start-up and 50 MB of memory. A value set by the user still wins.
    const bool glProbeOff = qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION");
    if (glProbeOff)
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QtSingleApplication app(id, argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIVER_VERSION));

    // Without it Qt's own dialog texts stay in English.
    QTranslator translator;
    if (translator.load(QStringLiteral("../lang/qt_zh_CN.qm")))
        QCoreApplication::installTranslator(&translator);

    SettingsControl &settings = SettingsControl::instance();
    const bool singleApp = settings.value(QStringLiteral("Form/IsSingleApp"), false).toBool();
    // Asked in every process: the first one becomes the instance the others hand over to.
    if (app.isRunning() && singleApp) {
        app.sendMessage(QString(), 5000);
        return 0;
    }

    TerminationWatcher terminationWatcher;
    FormMain window;
    // Qt chooses its OpenGL integration with the first native window, which the main window's
    // construction made. The programs started from here get the user's environment: Qt Quick
    // programs need their OpenGL.
    if (glProbeOff)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    app.setActivationWindow(&window, true);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    if (!settings.value(QStringLiteral("Form/AppRunThenHide"), false).toBool())
        window.show();
    else if (!window.canHide(false))
        window.showMinimized(); // nothing else could bring a hidden window back
    // Once the window manager has placed the window, so that the question stands over it.
    QTimer::singleShot(300, &window, &FormMain::onFirstStart);

    return app.exec();
}
