#include "KelPathEdit.h"
#include "TestSupport.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>

namespace {
bool isMarkedMissing(const KelPathEdit &edit)
{
    return edit.styleSheet().contains("#dd4f43") && edit.toolTip() == QStringLiteral("路径不存在");
}
} // namespace

class TestKelPathEdit : public QObject
{
    Q_OBJECT

private slots:
    void shouldCleanPastedPathKeepingCursor();
    void shouldMarkOnlyMissingPaths_data();
    void shouldMarkOnlyMissingPaths();
    void shouldKeepOwnStyleUnderMark();
    void shouldHideButtonsInTextModeAndOnLeave();
    void shouldConvertPaths();
    void shouldOpenRelativePathFromWorkingFolder();

public slots:
    void opened(const QUrl &url) { m_opened << url; }

private:
    QList<QUrl> m_opened;
};

void TestKelPathEdit::shouldCleanPastedPathKeepingCursor()
{
    KelPathEdit edit;
    edit.setStandardPathEnable(true);
    edit.insert(QStringLiteral("“C:\\Program Files\\Quiver\\bin\\Quiver.exe”"));
    QCOMPARE(edit.text(), QStringLiteral("C:/Program Files/Quiver/bin/Quiver.exe"));
    QCOMPARE(edit.cursorPosition(), edit.text().size());

    edit.setText("ab");
    edit.setCursorPosition(1);
    edit.insert("\\x");
    QCOMPARE(edit.text(), QStringLiteral("a/xb"));
    QCOMPARE(edit.cursorPosition(), 3);

    // Without the flag the text is left as typed until "纠正路径".
    KelPathEdit plain;
    plain.setText("\"D:\\a\"");
    QCOMPARE(plain.text(), QStringLiteral("\"D:\\a\""));
    plain.toStandardPath();
    QCOMPARE(plain.text(), QStringLiteral("D:/a"));
}

void TestKelPathEdit::shouldMarkOnlyMissingPaths_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("allowEmpty");
    QTest::addColumn<bool>("missing");
    QTest::newRow("file in Dir mode") << int(KelPathEdit::Dir) << "FILE" << false << false;
    QTest::newRow("folder in File mode") << int(KelPathEdit::File) << "DIR" << false << false;
    QTest::newRow("missing in File mode") << int(KelPathEdit::File) << "DIR/none" << false << true;
    QTest::newRow("empty in Dir mode") << int(KelPathEdit::Dir) << "" << false << true;
    QTest::newRow("empty in File mode") << int(KelPathEdit::File) << "" << false << true;
    QTest::newRow("empty allowed") << int(KelPathEdit::File) << "" << true << false;
    QTest::newRow("Text mode, empty") << int(KelPathEdit::Text) << "" << false << false;
    QTest::newRow("Text mode, missing") << int(KelPathEdit::Text) << "DIR/none" << false << false;
}

void TestKelPathEdit::shouldMarkOnlyMissingPaths()
{
    QFETCH(int, mode);
    QFETCH(QString, path);
    QFETCH(bool, allowEmpty);
    QFETCH(bool, missing);
    QTemporaryDir dir;
    QFile file(dir.filePath("a.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    path.replace("FILE", file.fileName()).replace("DIR", dir.path());

    KelPathEdit edit;
    edit.setMode(KelPathEdit::Mode(mode));
    edit.setAllowEmpty(allowEmpty);
    edit.setText(path);
    QCOMPARE(edit.isExists(), !missing);
    QCOMPARE(isMarkedMissing(edit), missing);
    if (!missing)
        QCOMPARE(edit.toolTip(), path);
}

void TestKelPathEdit::shouldKeepOwnStyleUnderMark()
{
    KelPathEdit edit;
    edit.setStyleSheet("QLineEdit{ color: navy; }");
    edit.setText("/no/such/path");
    QCOMPARE(edit.styleSheet(),
             QStringLiteral("QLineEdit{ color: navy; }QLineEdit{ border:1px solid #dd4f43;}"));
    edit.setText("/");
    QCOMPARE(edit.styleSheet(), QStringLiteral("QLineEdit{ color: navy; }"));
}

void TestKelPathEdit::shouldHideButtonsInTextModeAndOnLeave()
{
    KelPathEdit edit;
    const QList<QAction *> buttons = edit.actions();
    QCOMPARE(buttons.size(), 2);
    QAction *open = buttons.at(0);
    QAction *choose = buttons.at(1);
    QCOMPARE(open->toolTip(), QStringLiteral("打开文件夹"));
    QCOMPARE(choose->toolTip(), QStringLiteral("选择文件夹"));
    QVERIFY(open->isVisible() && choose->isVisible());

    edit.setMode(KelPathEdit::Text);
    QVERIFY(!open->isVisible() && !choose->isVisible());
    edit.setPath(); // no dialog may open in Text mode

    edit.setMode(KelPathEdit::File);
    QCOMPARE(choose->toolTip(), QStringLiteral("选择文件"));
    edit.setOpenActionAutoHide(true);
    QVERIFY(!open->isVisible());
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&edit, &enter);
    QVERIFY(open->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&edit, &leave);
    QVERIFY(!open->isVisible());
    QVERIFY(choose->isVisible());
    edit.setOpenActionAutoHide(false);
    QVERIFY(open->isVisible());
}

void TestKelPathEdit::shouldConvertPaths()
{
    QCOMPARE(KelPathEdit::toRelativePath("/home/me/apps/tool", "/home/me"),
             QStringLiteral("apps/tool"));
    QCOMPARE(KelPathEdit::toRelativePath("/opt/tool", "/home/me"),
             QStringLiteral("../../opt/tool"));
    QCOMPARE(KelPathEdit::toAbsolutePath("/a/b/../c"), QStringLiteral("/a/c"));

    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    KelPathEdit edit;
    edit.setText("sub/x");
    edit.toAbsolutePath();
    QCOMPARE(edit.text(), dir.filePath("sub/x"));
    edit.toRelativePath();
    QCOMPARE(edit.text(), QStringLiteral("sub/x"));
    QDir::setCurrent(previous);
}

void TestKelPathEdit::shouldOpenRelativePathFromWorkingFolder()
{
    // "file:../x" is an address no opener can resolve.
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("bin");
    QDir(dir.path()).mkpath("docs");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.filePath("bin"));
    QDesktopServices::setUrlHandler("file", this, "opened");
    KelPathEdit edit;
    edit.setText("../docs");
    edit.actions().at(0)->trigger();
    QDesktopServices::unsetUrlHandler("file");
    QDir::setCurrent(previous);
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("docs"))});
    QCOMPARE(edit.text(), QStringLiteral("../docs"));
}

QUIVER_TEST_MAIN(TestKelPathEdit)
#include "tst_kelpathedit.moc"
