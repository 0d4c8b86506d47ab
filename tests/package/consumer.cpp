#include <KelPathEdit.h>
#include <KelStyleSheets.h>

#include <QApplication>
#include <QDir>

// Uses an exported class and an exported static function; prints what they give.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    KelPathEdit edit;
    edit.setText(QStringLiteral("/usr"));
    const QString relative =
        KelPathEdit::toRelativePath(QStringLiteral("/usr/bin"), QStringLiteral("/usr"));
    const bool exists = edit.isExists();
    const QString qss = KelStyleSheets::toQss(QStringLiteral("a{color:$c;}$c=red;"), true);
    printf("%s %d %s\n", qPrintable(relative), exists, qPrintable(qss.simplified()));
    return relative == QLatin1String("bin") && exists ? 0 : 1;
}
