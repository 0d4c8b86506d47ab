#include "KelCircularImage.h"
#include "KelColorEdit.h"
#include "KelShortKeyEdit.h"
#include "KelSpinBox.h"
#include "TestSupport.h"

#include <QAction>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>

namespace {
QImage shown(const QLabel &label)
{
    return label.pixmap(Qt::ReturnByValue).toImage();
}
} // namespace

class TestKelEditors : public QObject
{
    Q_OBJECT

private slots:
    void shouldStartBlackWithGrayFrame();
    void shouldIgnorePartialColour();
    void shouldRecordChordsNotModifiers_data();
    void shouldRecordChordsNotModifiers();
    void shouldTakeNoPastedText();
    void shouldKeepShortcutOnEmptyText();
    void shouldShowSpinButtonsOnlyUnderMouse();
    void shouldClipPictureToCircleAndPill();
};

void TestKelEditors::shouldStartBlackWithGrayFrame()
{
    KelColorEdit edit;
    QCOMPARE(edit.text(), QStringLiteral("#000000"));
    QVERIFY(edit.isValid());
    QCOMPARE(edit.color(), QColor(Qt::black));
    const QImage swatch = edit.actions().first()->icon().pixmap(16, 16).toImage();
    QCOMPARE(swatch.pixelColor(8, 8), QColor(Qt::black));
    QCOMPARE(swatch.pixelColor(0, 8), QColor(Qt::gray));

    QSignalSpy changes(&edit, &KelColorEdit::currentColorChanged);
    edit.setText("#40b7f3");
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).value<QColor>(), QColor("#40b7f3"));
}

void TestKelEditors::shouldIgnorePartialColour()
{
    KelColorEdit edit;
    const QImage before = edit.actions().first()->icon().pixmap(16, 16).toImage();
    QSignalSpy changes(&edit, &KelColorEdit::currentColorChanged);
    edit.clear();
    edit.setCursorPosition(1);
    QTest::keyClicks(&edit, "ff");
    QCOMPARE(edit.text(), QStringLiteral("#ff"));
    QVERIFY(!edit.isValid());
    QVERIFY(!edit.color().isValid());
    QCOMPARE(changes.count(), 0);
    QCOMPARE(edit.actions().first()->icon().pixmap(16, 16).toImage(), before);
}

void TestKelEditors::shouldRecordChordsNotModifiers_data()
{
    // Every row starts from the shortcut Ctrl+Q; "kept" means the key left it as it was. A
    // bare key recorded here would be grabbed system-wide and taken from every program.
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("shown");
    const auto native = [](const char *keys) {
        return QKeySequence(QString::fromLatin1(keys)).toString(QKeySequence::NativeText);
    };
    const QString kept = native("Ctrl+Q");
    QTest::newRow("ctrl+alt+k") << int(Qt::Key_K) << int(Qt::ControlModifier | Qt::AltModifier)
                                << native("Ctrl+Alt+K");
    QTest::newRow("meta+e") << int(Qt::Key_E) << int(Qt::MetaModifier) << native("Meta+E");
    QTest::newRow("ctrl+backspace")
        << int(Qt::Key_Backspace) << int(Qt::ControlModifier) << native("Ctrl+Backspace");
    QTest::newRow("function key") << int(Qt::Key_F5) << 0 << native("F5");
    QTest::newRow("shift+function key")
        << int(Qt::Key_F5) << int(Qt::ShiftModifier) << native("Shift+F5");
    QTest::newRow("keypad dropped")
        << int(Qt::Key_5) << int(Qt::KeypadModifier | Qt::ControlModifier) << native("Ctrl+5");
    QTest::newRow("backspace clears") << int(Qt::Key_Backspace) << 0 << QString();
    QTest::newRow("delete clears") << int(Qt::Key_Delete) << 0 << QString();
    QTest::newRow("ctrl alone") << int(Qt::Key_Control) << int(Qt::ControlModifier) << kept;
    QTest::newRow("super alone") << int(Qt::Key_Super_L) << int(Qt::MetaModifier) << kept;
    QTest::newRow("altgr alone") << int(Qt::Key_AltGr) << 0 << kept;
    QTest::newRow("hyper alone") << int(Qt::Key_Hyper_L) << 0 << kept;
    QTest::newRow("escape") << int(Qt::Key_Escape) << 0 << kept;
    QTest::newRow("letter") << int(Qt::Key_A) << 0 << kept;
    QTest::newRow("shift+letter") << int(Qt::Key_A) << int(Qt::ShiftModifier) << kept;
}

void TestKelEditors::shouldRecordChordsNotModifiers()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, shown);
    KelShortKeyEdit edit(QKeySequence("Ctrl+Q"));
    QCOMPARE(edit.placeholderText(), QStringLiteral("请按下快捷键"));
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
    QApplication::sendEvent(&edit, &press);
    QCOMPARE(edit.text(), shown);
    QCOMPARE(edit.KeySequence().toString(QKeySequence::NativeText), shown);
}

void TestKelEditors::shouldTakeNoPastedText()
{
    // Text pasted in would skip the rule for keys.
    KelShortKeyEdit edit(QKeySequence("Ctrl+Q"));
    QCOMPARE(edit.contextMenuPolicy(), Qt::NoContextMenu);
    if (QGuiApplication::clipboard()->supportsSelection()) {
        QGuiApplication::clipboard()->setText("a", QClipboard::Selection);
        QTest::mouseClick(&edit, Qt::MiddleButton);
    }
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QApplication::sendEvent(&edit, &paste);
    QCOMPARE(edit.text(), QKeySequence("Ctrl+V").toString(QKeySequence::NativeText));
    QVERIFY(KelShortKeyEdit::isGlobalShortcut(QKeySequence("Ctrl+V")));
    QVERIFY(KelShortKeyEdit::isGlobalShortcut(QKeySequence("F12")));
    QVERIFY(!KelShortKeyEdit::isGlobalShortcut(QKeySequence("A")));
    QVERIFY(!KelShortKeyEdit::isGlobalShortcut(QKeySequence("Shift+A")));
    QVERIFY(!KelShortKeyEdit::isGlobalShortcut(QKeySequence("Ctrl+A, B")));
}

void TestKelEditors::shouldKeepShortcutOnEmptyText()
{
    KelShortKeyEdit edit(QKeySequence("Ctrl+Shift+Q"));
    const QString native = QKeySequence("Ctrl+Shift+Q").toString(QKeySequence::NativeText);
    QCOMPARE(edit.text(), native);
    edit.setText(QString());
    QCOMPARE(edit.text(), native);
    edit.setKeySequence(QKeySequence());
    QCOMPARE(edit.text(), native);
    KelShortKeyEdit fromText(native);
    QCOMPARE(fromText.KeySequence(), QKeySequence("Ctrl+Shift+Q"));
}

void TestKelEditors::shouldShowSpinButtonsOnlyUnderMouse()
{
    KelSpinBox spin;
    QCOMPARE(spin.buttonSymbols(), QAbstractSpinBox::NoButtons);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(&spin, &enter);
    QCOMPARE(spin.buttonSymbols(), QAbstractSpinBox::UpDownArrows);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&spin, &leave);
    QCOMPARE(spin.buttonSymbols(), QAbstractSpinBox::NoButtons);
}

void TestKelEditors::shouldClipPictureToCircleAndPill()
{
    QPixmap picture(200, 100);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 100, 100, Qt::red);
    painter.fillRect(100, 0, 100, 100, Qt::blue);
    painter.end();

    KelCircularImage image;
    image.resize(100, 100);
    image.setPixmap(picture);
    QImage circle = shown(image);
    QCOMPARE(circle.size(), QSize(100, 100));
    QCOMPARE(circle.pixelColor(50, 50), QColor(Qt::red));
    QCOMPARE(circle.pixelColor(95, 50), QColor(Qt::red));
    QCOMPARE(circle.pixelColor(3, 3).alpha(), 0);
    QCOMPARE(circle.pixelColor(96, 96).alpha(), 0);

    image.resize(120, 40);
    QResizeEvent resize(QSize(120, 40), QSize(100, 100));
    QApplication::sendEvent(&image, &resize);
    const QImage pill = shown(image);
    QCOMPARE(pill.size(), QSize(120, 40));
    QCOMPARE(pill.pixelColor(60, 20).alpha(), 255);
    QCOMPARE(pill.pixelColor(2, 20).alpha(), 255);
    QCOMPARE(pill.pixelColor(4, 4).alpha(), 0);

    KelCircularImage empty;
    empty.resize(50, 50);
    empty.setPixmap(QPixmap());
    QVERIFY(empty.pixmap(Qt::ReturnByValue).isNull());
}

QUIVER_TEST_MAIN(TestKelEditors)
#include "tst_keleditors.moc"
