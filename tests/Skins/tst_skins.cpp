#include "CatalogueSupport.h"
#include "App/Program.h"
#include "Window/FormMain.h"
#include "Core/SettingsControl.h"
#include "Skins/Form_Skins.h"
#include "KelColorEdit.h"
#include "Skins/SkinStyle.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QInputDialog>
#include <QJsonObject>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {
void writeSkin(const QString &name, const QByteArray &json)
{
    QFile file(Skin::fileName(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(json);
}

// Whether the icon's picture holds the colour somewhere.
bool drawnIn(const QIcon &icon, const QColor &colour)
{
    const QImage image = icon.pixmap(32, 32).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 200 && qAbs(pixel.red() - colour.red()) < 8 &&
                qAbs(pixel.green() - colour.green()) < 8 && qAbs(pixel.blue() - colour.blue()) < 8)
                return true;
        }
    return false;
}
} // namespace

// Skins read from "../skins/<name>.json", value by value, and applied to the application.
class TestSkins : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shouldFallBackValueByValue_data();
    void shouldFallBackValueByValue();
    void shouldApplyASkinWithoutTheWindow_data();
    void shouldApplyASkinWithoutTheWindow();
    void shouldApplyStyleFontOpacityAndIcons();
    void shouldAddBackgroundPictureRule();
    void shouldApplyDefaultsForEmptyOrMissingSkin();
    void shouldListOnlyJsonSkins();
    void shouldCreateUseSaveRenameAndDelete();
    void shouldRefuseNamesOutsideTheSkinsFolder_data();
    void shouldRefuseNamesOutsideTheSkinsFolder();
    void shouldNotApplyStoredNameOutsideTheSkinsFolder();
    void shouldKeepOldBackgroundUnlessNewOneIsWhole();
    void shouldKeepIconsAndSelectionVisibleOnDarkSkin();
    // Last: it removes every skin file.
    void shouldTouchNothingWithoutSkin();

private:
    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<Program> m_program;
    FormMain *m_window = nullptr;
};

void TestSkins::initTestCase()
{
    m_dir = std::make_unique<TestWorkDir>();
    m_program = std::make_unique<Program>();
    m_window = &m_program->window();
}

void TestSkins::shouldFallBackValueByValue_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<double>("opacity");
    QTest::addColumn<QString>("mainColor");
    QTest::newRow("font size out of range")
        << QByteArray(R"({"FontSize":20})") << 9 << 1.0 << "#40b7f3";
    QTest::newRow("half opaque") << QByteArray(R"({"Opacity":50,"FontSize":12})") << 12 << 0.5
                                 << "#40b7f3";
    QTest::newRow("opacity 0") << QByteArray(R"({"Opacity":0})") << 9 << 1.0 << "#40b7f3";
    QTest::newRow("opacity 150") << QByteArray(R"({"Opacity":150})") << 9 << 1.0 << "#40b7f3";
    QTest::newRow("named colour") << QByteArray(R"({"MainColor":"red"})") << 9 << 1.0 << "#ff0000";
    QTest::newRow("no colour") << QByteArray(R"({"MainColor":"no such"})") << 9 << 1.0 << "#40b7f3";
    QTest::newRow("broken json") << QByteArray(R"({"MainColor":)") << 9 << 1.0 << "#40b7f3";
}

void TestSkins::shouldFallBackValueByValue()
{
    QFETCH(QByteArray, json);
    QFETCH(int, fontSize);
    QFETCH(double, opacity);
    QFETCH(QString, mainColor);
    writeSkin("case", json);
    const SkinInfo skin = SkinInfo::fromJson("case", Skin::read("case"));
    QCOMPARE(skin.fontSize, fontSize);
    QCOMPARE(skin.opacity > 1.0 ? 1.0 : skin.opacity, opacity);
    QCOMPARE(skin.mainColor, mainColor);
    QCOMPARE(skin.fontColor, QStringLiteral("#000000"));
    QCOMPARE(skin.mainBgColor, QStringLiteral("#FFFFFF"));
}

void TestSkins::shouldApplyASkinWithoutTheWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<double>("opacity");
    QTest::newRow("whole skin") << "Whole"
                                << "border-color: #112233;" << 11 << 0.5;
    QTest::newRow("missing skin") << "missing"
                                  << "border-color: #40b7f3;" << 9 << 1.0;
}

// The application's style and font and the stored choice; what the window takes on itself is
// handed back.
void TestSkins::shouldApplyASkinWithoutTheWindow()
{
    QFETCH(QString, name);
    QFETCH(QString, rule);
    QFETCH(int, fontSize);
    QFETCH(double, opacity);
    writeSkin("Whole", R"({"MainColor":"#112233","FontSize":11,"Opacity":50})");
    const SkinInfo applied = Skin::apply(name);
    QVERIFY(qApp->styleSheet().contains(rule));
    QCOMPARE(QApplication::font().pointSize(), fontSize);
    QCOMPARE(applied.opacity, opacity);
    QCOMPARE(SettingsControl::instance().skinName(), name);
}

void TestSkins::shouldApplyStyleFontOpacityAndIcons()
{
    writeSkin("Blue", R"({"MainColor":"#112233","MainBgColor":"#fafafa","FontColor":"#ff0000",)"
                      R"("Font":"WenQuanYi Micro Hei","FontSize":11,"Opacity":50})");
    m_window->onSetSkins("Blue");
    const QString sheet = qApp->styleSheet();
    QVERIFY(sheet.contains("#FormMain{ background: #fafafa; }"));
    QVERIFY(sheet.contains("#lineEdit_search{ color: #ff0000;"));
    QVERIFY(sheet.contains("border-color: #112233;"));
    QVERIFY(!sheet.contains('$'));
    QCOMPARE(QApplication::font().pointSize(), 11);
    QVERIFY(qAbs(m_window->windowOpacity() - 0.5) < 0.01);
    QCOMPARE(SettingsControl::instance().skinName(), QStringLiteral("Blue"));
    for (const char *button : {"toolButton_close", "toolButton_minimize", "toolButton_settings",
                               "toolButton_history", "toolButton_back"})
        QVERIFY2(drawnIn(m_window->findChild<QToolButton *>(button)->icon(), Qt::red), button);
}

void TestSkins::shouldAddBackgroundPictureRule()
{
    writeSkin("Dark", R"({"BgImage":true})");
    m_window->onSetSkins("Dark");
    QVERIFY(qApp->styleSheet().contains("#FormMain{border-image:url(../skins/Dark/bg.jpg);}"));
}

void TestSkins::shouldApplyDefaultsForEmptyOrMissingSkin()
{
    writeSkin("new", QByteArray());
    m_window->onSetSkins("new");
    QVERIFY(qApp->styleSheet().contains("#FormMain{ background: #FFFFFF; }"));
    QCOMPARE(m_window->windowOpacity(), 1.0);
    QVERIFY(drawnIn(m_window->findChild<QToolButton *>("toolButton_close")->icon(), Qt::black));
    m_window->onSetSkins("missing");
    QVERIFY(qApp->styleSheet().contains("border-color: #40b7f3;"));
    QCOMPARE(QApplication::font().pointSize(), 9);
}

void TestSkins::shouldListOnlyJsonSkins()
{
    writeSkin("alpha", "{}");
    QVERIFY(QFile::copy(QUIVER_SHIPPED_SKINS "/浅色.json", Skin::fileName("浅色")));
    QFile upper("../skins/Upper.JSON");
    QVERIFY(upper.open(QIODevice::WriteOnly));
    upper.close();
    Form_Skins editor;
    auto *list = editor.findChild<QComboBox *>("comboBox");
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->itemText(i);
    QVERIFY(names.contains("alpha"));
    QVERIFY(!names.contains("Upper"));
    QCOMPARE(editor.windowTitle(), QStringLiteral("皮肤"));
    // 320 x 350, or what its rows need beyond.
    QVERIFY(editor.width() >= 320 && editor.height() >= 350);
    // The shipped skin's font shows whole: a box too narrow showed its end, cut at the left.
    list->setCurrentText("浅色");
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    auto *font = editor.findChild<QFontComboBox *>("fontComboBox_font");
    QCOMPARE(font->currentText(), QStringLiteral("WenQuanYi Micro Hei"));
    QVERIFY(editor.rect().contains(font->geometry()));
    QVERIFY(font->lineEdit()->fontMetrics().horizontalAdvance(font->currentText()) <=
            font->lineEdit()->contentsRect().width() - 4);
}

void TestSkins::shouldCreateUseSaveRenameAndDelete()
{
    Form_Skins editor;
    QSignalSpy used(&editor, &Form_Skins::skinsChanged);
    connect(&editor, &Form_Skins::skinsChanged, m_window, &FormMain::onSetSkins);
    auto *list = editor.findChild<QComboBox *>("comboBox");

    answerNextDialog("夜间");
    editor.onCreateSkin();
    QCOMPARE(list->currentText(), QStringLiteral("夜间"));
    QCOMPARE(QFileInfo(Skin::fileName("夜间")).size(), 0);
    // Shown as using it applies it: the default colours and the desktop's font.
    QCOMPARE(editor.findChild<KelColorEdit *>("lineEdit_mainColor")->text(), "#40b7f3");
    QCOMPARE(editor.findChild<QFontComboBox *>("fontComboBox_font")->currentText(),
             QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family());
    editor.findChild<QPushButton *>("pushButton_useSkins")->click();
    QCOMPARE(used.count(), 1);
    QVERIFY(qApp->styleSheet().contains("#FormMain{ background: #FFFFFF; }"));

    editor.findChild<KelColorEdit *>("lineEdit_mainBgColor")->setText("#101010");
    editor.findChild<QSpinBox *>("spinBox_opacity")->setValue(80);
    QCOMPARE(editor.findChild<QSlider *>("slider_opacity")->value(), 80);
    editor.findChild<QPushButton *>("pushButton_save")->click();
    QVERIFY(Notices::shown().contains("已保存"));
    const QJsonObject saved = Skin::read("夜间");
    QCOMPARE(saved.keys().size(), 8);
    QCOMPARE(saved.value("MainBgColor").toString(), QStringLiteral("#101010"));
    QCOMPARE(saved.value("Opacity").toInt(), 80);
    // The skin in use shows what was saved.
    QVERIFY(qApp->styleSheet().contains("#FormMain{ background: #101010; }"));

    // Creating it again keeps what was saved.
    answerNextDialog("夜间");
    editor.onCreateSkin();
    QCOMPARE(Skin::read("夜间").value("Opacity").toInt(), 80);

    SettingsControl::instance().setSkin("夜间");
    // A folder of that name left behind would keep the background: the rename is refused.
    QVERIFY(QDir().mkpath("../skins/夜间") && QDir().mkpath("../skins/深夜/kept"));
    QFile background("../skins/夜间/bg.jpg");
    QVERIFY(background.open(QIODevice::WriteOnly) && background.write("jpeg") == 4);
    background.close();
    answerNextDialog("深夜");
    editor.onRename();
    QVERIFY(Notices::shown().contains("重命名失败，请重试"));
    QVERIFY(QFile::exists(Skin::fileName("夜间")) && QFile::exists("../skins/夜间/bg.jpg"));
    QVERIFY(QDir("../skins/深夜").removeRecursively());
    answerNextDialog("深夜");
    editor.onRename();
    QVERIFY(Notices::shown().contains("重命名成功"));
    QVERIFY(QFile::exists(Skin::fileName("深夜")) && !QFile::exists(Skin::fileName("夜间")));
    QVERIFY(QFile::exists("../skins/深夜/bg.jpg") && !QDir("../skins/夜间").exists());
    QCOMPARE(SettingsControl::instance().skinName(), QStringLiteral("夜间"));

    answerNextDialog();
    editor.onDelete();
    QVERIFY(Notices::shown().contains("删除完成"));
    QVERIFY(!QFile::exists(Skin::fileName("深夜")));
    QVERIFY(!QDir("../skins/深夜").exists());
    Notices::clear();
}

void TestSkins::shouldRefuseNamesOutsideTheSkinsFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../evil";
    QTest::newRow("slash") << "a/b";
    QTest::newRow("backslash") << "a\\b";
    QTest::newRow("dots") << "..";
    QTest::newRow("blank") << "   ";
}

void TestSkins::shouldRefuseNamesOutsideTheSkinsFolder()
{
    QFETCH(QString, name);
    writeSkin("base", "{}");
    Form_Skins editor;
    editor.findChild<QComboBox *>("comboBox")->setCurrentText("base");
    answerNextDialog(name);
    editor.onCreateSkin();
    QCOMPARE(Notices::shown(), QStringList{"皮肤创建失败，请重试"});
    Notices::clear();
    answerNextDialog(name);
    editor.onRename();
    QCOMPARE(Notices::shown(), QStringList{"重命名失败，请重试"});
    Notices::clear();
    QVERIFY(!QFile::exists("../evil.json"));
    QVERIFY(QFile::exists(Skin::fileName("base")));
}

void TestSkins::shouldNotApplyStoredNameOutsideTheSkinsFolder()
{
    // "Form/SkinName" comes from a file anyone may have edited; "../outside" would read
    // <root>/outside.json.
    QFile outside("../outside.json");
    QVERIFY(outside.open(QIODevice::WriteOnly));
    outside.write(R"({"MainColor":"#ff0000","Opacity":50})");
    outside.close();
    SettingsControl::instance().setSkin("../outside");
    Program program;
    FormMain &window = program.window();
    QVERIFY(qApp->styleSheet().contains("border-color: #40b7f3;"));
    QVERIFY(!qApp->styleSheet().contains("#ff0000"));
    QCOMPARE(window.windowOpacity(), 1.0);
    SettingsControl::instance().setSkin(QString());
}

void TestSkins::shouldKeepOldBackgroundUnlessNewOneIsWhole()
{
    writeSkin("pictured", "{}");
    QDir().mkpath("../skins/pictured");
    const QString background = QDir("../skins/pictured").absoluteFilePath("bg.jpg");
    QFile old(background);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old picture");
    old.close();
    Form_Skins editor;
    editor.findChild<QComboBox *>("comboBox")->setCurrentText("pictured");
    Notices::clear();

    // The picture that is already there, chosen again: it must survive its own replacement.
    ModalAnswers answers;
    answers.chooseFile(background);
    editor.findChild<QPushButton *>("pushButton_changeBgImg")->click();
    QCOMPARE(Notices::shown(), QStringList{"已保存背景"});
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old picture"));
    old.close();
    Notices::clear();

    // A file that cannot be read (the kernel answers every read of it with an error) leaves
    // the old picture in place.
    const QString unreadable = QStringLiteral("/proc/self/mem");
    answers.chooseFile(unreadable);
    editor.findChild<QPushButton *>("pushButton_changeBgImg")->click();
    QCOMPARE(Notices::shown(), QStringList{"背景保存失败"});
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old picture"));
    Notices::clear();
}

void TestSkins::shouldKeepIconsAndSelectionVisibleOnDarkSkin()
{
    QVERIFY(QFile::copy(QUIVER_SHIPPED_SKINS "/深色.json", Skin::fileName("深色")));
    Catalogue::exec("INSERT INTO Types(ID, Name, Row) VALUES (1, 'T', 0)");
    Catalogue::exec("INSERT INTO Groups(ID, Name, TypesID, Row) VALUES (10, 'G', 1, 0)");
    Catalogue::exec("INSERT INTO Items(ID, Name, Type, Path, CreateDate, RunCount, GroupsID, "
                    "TypesID, Row) VALUES (1, 'a', 2, 'https://a.example', '0', 0, 10, 1, 0), "
                    "(2, 'b', 2, 'https://b.example', '0', 0, 10, 1, 1)");
    Program program;
    FormMain &window = program.window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.onSetSkins("深色");
    auto *items = window.findChild<QListView *>("listView_items");
    items->setCurrentIndex(items->model()->index(0, 0));
    // As the window shows it, its background under the transparent list.
    const QImage shot =
        window.grab(QRect(items->viewport()->mapTo(&window, QPoint()), items->viewport()->size()))
            .toImage();
    const QRect selected = items->visualRect(items->model()->index(0, 0));
    const QRect other = items->visualRect(items->model()->index(1, 0));
    // The selected tile stands out from the one beside it (inside its rounded corner).
    const QPoint corner(6, 6);
    const int lift = shot.pixelColor(selected.topLeft() + corner).lightness() -
                     shot.pixelColor(other.topLeft() + corner).lightness();
    QVERIFY2(lift >= 12, qPrintable(QString::number(lift)));
    // The globe, above the name, is drawn light on the dark tile.
    int light = 0;
    const QRect icon = other.adjusted(0, 0, 0, -other.height() / 2);
    for (int y = icon.top(); y <= icon.bottom(); ++y)
        for (int x = icon.left(); x <= icon.right(); ++x)
            light += shot.pixelColor(x, y).lightness() > 150;
    QVERIFY2(light >= 20, qPrintable(QString::number(light)));
}

void TestSkins::shouldTouchNothingWithoutSkin()
{
    // A fresh install: the skins folder holds no skin, only what the user put there.
    for (const QString &skin : QDir("../skins").entryList({"*.json"}, QDir::Files))
        QVERIFY(QFile::remove("../skins/" + skin));
    QDir().mkpath("../skins/keep");
    QFile kept("../skins/keep/bg.jpg");
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();
    Form_Skins editor;
    Notices::clear();
    QCOMPARE(editor.findChild<QComboBox *>("comboBox")->count(), 0);
    for (const char *button :
         {"pushButton_save", "pushButton_del", "pushButton_rename", "pushButton_changeBgImg"})
        QVERIFY2(!editor.findChild<QPushButton *>(button)->isEnabled(), button);

    ModalAnswers answers;
    answers.press(QMessageBox::Yes).chooseFile(kept.fileName());
    editor.onSaveSkins();
    editor.onDelete();
    editor.onChangeBgImg();
    QCOMPARE(answers.pending(), 2);
    QVERIFY(Notices::shown().isEmpty());
    QVERIFY(!QFile::exists("../skins/.json"));
    QVERIFY(!QFile::exists("../skins/bg.jpg"));
    QVERIFY(kept.exists());

    // A skin made in the editor brings the buttons back.
    answerNextDialog("fresh");
    editor.onCreateSkin();
    QVERIFY(editor.findChild<QPushButton *>("pushButton_save")->isEnabled());
}

QUIVER_TEST_MAIN(TestSkins)
#include "tst_skins.moc"
