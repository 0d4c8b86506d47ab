#include "KelStyleSheets.h"
#include "TestSupport.h"

class TestKelStyleSheets : public QObject
{
    Q_OBJECT

private slots:
    void shouldResolveVariables_data();
    void shouldResolveVariables();
    void shouldKeepLinesWhenNotSimplified();
    void shouldValidateWithQtParser();
};

void TestKelStyleSheets::shouldResolveVariables_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("qss");
    QTest::newRow("definition after use") << "a{color:$Fg;}$Fg=#40b7f3;"
                                          << "a{color: #40b7f3;}";
    QTest::newRow("back to back") << "$A=#111;$B=#222;a{color:$A;background:$B;}"
                                  << "a{color: #111;background: #222;}";
    QTest::newRow("rgba and gradient")
        << "QWidget{background:$Bg;border:$Line;}\n$Bg=qlineargradient(x1:0, y1:0, x2:1, "
           "y2:0, stop:0.5 #fff, stop:1 rgba(0,0,0,30));\n$Line =1px solid #ccc;"
        << "QWidget{background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0.5 #fff, stop:1 "
           "rgba(0,0,0,30));border: 1px solid #ccc;}";
    QTest::newRow("slash is not a value") << "a{image:$Pic;}$Pic=url(../skins/a.png);"
                                          << "a{image: $Pic;} $Pic=url(../skins/a.png);";
    QTest::newRow("undefined stays") << "a{color:$Nope;}"
                                     << "a{color: $Nope;}";
    QTest::newRow("first definition wins") << "a{color:$C;}$C=red;$C=blue;"
                                           << "a{color: red;} red=blue;";
}

void TestKelStyleSheets::shouldResolveVariables()
{
    QFETCH(QString, text);
    QFETCH(QString, qss);
    QCOMPARE(KelStyleSheets::toQss(text, true), qss);
}

void TestKelStyleSheets::shouldKeepLinesWhenNotSimplified()
{
    QCOMPARE(KelStyleSheets::toQss("a{\n  color:$Fg;\n}\n$Fg=#000;\n", false),
             QStringLiteral("a{\n  color: #000;\n}\n \n"));
}

void TestKelStyleSheets::shouldValidateWithQtParser()
{
    QVERIFY(KelStyleSheets::isStyleSheetValid("QPushButton#ok { color: red; border: 1px solid; }"));
    QVERIFY(KelStyleSheets::isStyleSheetValid(QString()));
    QVERIFY(!KelStyleSheets::isStyleSheetValid("color: red; background: blue;"));
    QVERIFY(!KelStyleSheets::isStyleSheetValid("QWidget { color: red; "));
}

QUIVER_TEST_MAIN(TestKelStyleSheets)
#include "tst_kelstylesheets.moc"
