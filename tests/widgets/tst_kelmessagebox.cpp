#include "KelMessageBox.h"
#include "TestSupport.h"

#include <QDialog>
#include <QAnimationDriver>
#include <QLabel>
#include <QPointer>
#include <QX11Info>

namespace {
// Drives every animation by hand, so positions and opacities are read at exact moments.
class ManualAnimationDriver final : public QAnimationDriver
{
public:
    void advanceBy(qint64 milliseconds)
    {
        m_elapsed += milliseconds;
        advance();
    }
    qint64 elapsed() const override { return m_elapsed; }

private:
    qint64 m_elapsed = 0;
};

// The notice shown since the last call: top-level widgets come in no particular order.
QDialog *lastNotice()
{
    // Lets the animations started by the show register with the animation timer.
    QCoreApplication::processEvents();
    // Guarded pointers, since a new box may take the address of a deleted one.
    static QList<QPointer<QWidget>> seen;
    static QPointer<QDialog> last;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("MsgBox") && widget->isVisible() && !seen.contains(widget)) {
            seen << widget;
            last = qobject_cast<QDialog *>(widget);
        }
    }
    return last;
}

QString labelStyle(QDialog *box)
{
    return box->findChild<QLabel *>("labelNotice")->styleSheet();
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestKelMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void shouldPlaceBoxByPoint_data();
    void shouldPlaceBoxByPoint();
    void shouldResolveBackground_data();
    void shouldResolveBackground();
    void shouldUseInformationBackgroundAsGiven();
    void shouldRiseFadeAndDeleteItself();
    void shouldGoAtOnceOnClick();
    void shouldBeOpaqueAndRoundWithoutCompositor();

private:
    ManualAnimationDriver m_driver;
    QWidget m_parent;
};

void TestKelMessageBox::initTestCase()
{
    m_driver.install();
    m_parent.setGeometry(100, 200, 400, 300);
    m_parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_parent));
}

void TestKelMessageBox::cleanup()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->inherits("MsgBox"))
            widget->deleteLater();
    flushDeletes();
}

void TestKelMessageBox::shouldPlaceBoxByPoint_data()
{
    QTest::addColumn<bool>("withParent");
    QTest::addColumn<int>("point");
    QTest::newRow("top") << true << int(KelMessageBox::Top);
    QTest::newRow("bottom") << true << int(KelMessageBox::Bottom);
    QTest::newRow("no parent") << false << int(KelMessageBox::Bottom);
    QTest::newRow("unknown point") << true << 7;
}

void TestKelMessageBox::shouldPlaceBoxByPoint()
{
    QFETCH(bool, withParent);
    QFETCH(int, point);
    // Centred on the parent's frame position; Top scales its y, Bottom adds 0.9 of its height.
    const int x = m_parent.x() + 400 / 2 - 280 / 2;
    QPoint position(0, 0);
    if (withParent && point == KelMessageBox::Top)
        position = QPoint(x, int(m_parent.y() * 1.2));
    else if (withParent && point == KelMessageBox::Bottom)
        position = QPoint(x, int(m_parent.y() + 0.9 * 300));
    KelMessageBox::show(withParent ? &m_parent : nullptr, "位置", QVariant(), 2000,
                        KelMessageBox::DefaultPoint(point), QString());
    QDialog *box = lastNotice();
    QVERIFY(box);
    QCOMPARE(box->pos(), position);
    QCOMPARE(box->size(), QSize(280, 60));
    QVERIFY(!box->parent());
    QCOMPARE(int(box->windowFlags()), 0x4080b);
    QVERIFY(box->testAttribute(Qt::WA_TranslucentBackground));
}

void TestKelMessageBox::shouldResolveBackground_data()
{
    QTest::addColumn<QVariant>("color");
    QTest::addColumn<QString>("background");
    QTest::newRow("invalid") << QVariant() << KelMessageBox::getDefaultColor(KelMessageBox::Blue);
    QTest::newRow("blue") << QVariant(1) << KelMessageBox::getDefaultColor(KelMessageBox::Blue);
    QTest::newRow("red") << QVariant(int(KelMessageBox::Red))
                         << KelMessageBox::getDefaultColor(KelMessageBox::Red);
    QTest::newRow("green") << QVariant(3) << KelMessageBox::getDefaultColor(KelMessageBox::Green);
    QTest::newRow("zero") << QVariant(0) << "0";
    QTest::newRow("colour text") << QVariant("#40b7f3") << "#40b7f3";
}

void TestKelMessageBox::shouldResolveBackground()
{
    QFETCH(QVariant, color);
    QFETCH(QString, background);
    KelMessageBox::show(&m_parent, "颜色", color, 2000, KelMessageBox::Bottom, QString());
    QCOMPARE(labelStyle(lastNotice()),
             QStringLiteral("color: #FFF;font-size:16px; background-color:%1; border-radius:5%;")
                 .arg(background));
    QCOMPARE(lastNotice()->findChild<QLabel *>("labelNotice")->text(), QStringLiteral("颜色"));
}

void TestKelMessageBox::shouldUseInformationBackgroundAsGiven()
{
    QVERIFY(KelMessageBox::getDefaultColor(KelMessageBox::DefaultColor(0)).isEmpty());
    QVERIFY(KelMessageBox::getDefaultColor(KelMessageBox::DefaultColor(4)).isEmpty());
    KelMessageBox::information(&m_parent, "空", KelMessageBox::Bottom, 3000,
                               KelMessageBox::getDefaultColor(KelMessageBox::DefaultColor(4)),
                               QString());
    QVERIFY(labelStyle(lastNotice()).contains(KelMessageBox::getDefaultColor(KelMessageBox::Blue)));

    KelMessageBox::information(QPoint(5, 6), "黄", 3000, "yellow", "black");
    QCOMPARE(lastNotice()->pos(), QPoint(5, 6));
    QCOMPARE(
        labelStyle(lastNotice()),
        QStringLiteral("color: black;font-size:16px; background-color:yellow; border-radius:5%;"));
}

void TestKelMessageBox::shouldRiseFadeAndDeleteItself()
{
    KelMessageBox::show(&m_parent, "渐隐", QVariant(), 2000, KelMessageBox::Bottom, QString());
    QPointer<QDialog> box = lastNotice();
    QVERIFY(box);
    const QPoint start = box->pos();
    m_driver.advanceBy(600);
    QCOMPARE(box->windowOpacity(), 1.0);
    QCOMPARE(box->pos(), start - QPoint(0, 18));
    m_driver.advanceBy(800);
    QVERIFY(qAbs(box->windowOpacity() - 0.55) < 0.01);
    m_driver.advanceBy(600);
    flushDeletes();
    QVERIFY(box.isNull());
}

void TestKelMessageBox::shouldGoAtOnceOnClick()
{
    KelMessageBox::show(&m_parent, "点我", QVariant(int(KelMessageBox::Green)), 4000,
                        KelMessageBox::Bottom, QString());
    QPointer<QDialog> box = lastNotice();
    QVERIFY(box);
    QTest::mouseClick(box.data(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    flushDeletes();
    QVERIFY(box.isNull());
    // The animations of a removed box stop on their own.
    m_driver.advanceBy(5000);
}

// Without a compositing manager (a bare window manager on X11) translucency comes out black:
// the notice paints itself whole and is cut to its rounded shape. Run on both platforms.
void TestKelMessageBox::shouldBeOpaqueAndRoundWithoutCompositor()
{
    KelMessageBox::show(&m_parent, "无合成器", QVariant(int(KelMessageBox::Blue)), 2000,
                        KelMessageBox::Bottom, QString());
    QPointer<QDialog> box = lastNotice();
    QVERIFY(box);
    const bool bareX11 = QX11Info::isPlatformX11() && !QX11Info::isCompositingManagerRunning();
    QCOMPARE(box->testAttribute(Qt::WA_TranslucentBackground), !bareX11);
    if (!bareX11)
        return;
    const QRegion shape = box->mask();
    QVERIFY(!shape.isEmpty());
    QVERIFY(shape.contains(box->rect().center()));
    QVERIFY(!shape.contains(QPoint(0, 0)));
    QVERIFY(!shape.contains(box->rect().bottomRight()));
    // The label paints the whole box: no unpainted margin around it.
    QCOMPARE(box->findChild<QLabel *>("labelNotice")->geometry(), box->rect());
}

QUIVER_TEST_MAIN(TestKelMessageBox)
#include "tst_kelmessagebox.moc"
