#include <QGuiApplication>
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
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
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
    app.setActivationWindow(&window, true);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    if (!settings.value(QStringLiteral("Form/AppRunThenHide"), false).toBool())
        window.show();
    else if (!window.canHide(false))
        window.showMinimized(); // nothing else could bring a hidden window back

    return app.exec();
}
