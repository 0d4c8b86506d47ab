#include "KelFlowLayout.h"
#include "KelSideList.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <QSpacerItem>

namespace {
QWidget *fixedBox(QWidget *parent, int width, int height = 20)
{
    auto *box = new QWidget(parent);
    box->setFixedSize(width, height);
    return box;
}
} // namespace

class TestKelLayouts : public QObject
{
    Q_OBJECT

private slots:
    void shouldSelectFirstEntryOnce();
    void shouldAppendOwnStyleAfterTemplate();
    void shouldKeepSelectedPictureUnlessAsked();
    void shouldWrapItemsLikeWords();
    void shouldKeepOverWideItemWhole();
    void shouldMeasureEmptyLayoutByMargins();
    void shouldFallBackWhenItemHasNoStyle();
};

void TestKelLayouts::shouldSelectFirstEntryOnce()
{
    KelSideList list;
    QSignalSpy rows(&list, &KelSideList::currentRowChanged);
    list.addItem("常规");
    QCOMPARE(rows.count(), 1);
    QCOMPARE(rows.at(0).at(0).toInt(), 0);
    list.addItem("界面");
    list.addItem(QIcon(), "关于");
    QCOMPARE(list.currentIndex().row(), 0);
    QCOMPARE(rows.count(), 1);
    QCOMPARE(list.model()->index(2, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("关于"));
    QCOMPARE(list.model()->index(0, 0).data(Qt::TextAlignmentRole).toInt(), 129);

    list.setCurrentIndex(list.model()->index(1, 0));
    QCOMPARE(rows.last().at(0).toInt(), 1);
    list.setViewMode(QListView::IconMode);
    QCOMPARE(list.viewMode(), QListView::ListMode);
}

void TestKelLayouts::shouldAppendOwnStyleAfterTemplate()
{
    KelSideList list;
    const QString rounded = list.QListView::styleSheet();
    QVERIFY(rounded.startsWith("QListView{ outline:0; background-color:#f3f2f1; border:none; }" +
                               QString(41, ' ') + "QListView:item{ margin:4px;"));
    QVERIFY(!rounded.contains(':' + QStringLiteral("color")));

    list.setStyleSheet("QListView{ font-size:14px; }");
    QCOMPARE(list.styleSheet(), QStringLiteral("QListView{ font-size:14px; }"));
    QCOMPARE(list.QListView::styleSheet(), rounded + "QListView{ font-size:14px; }");

    KelSideList::StyleConfig colors;
    colors.bdColor = "#ff0000";
    list.setStyleColor(colors);
    list.setStyleMode(KelSideList::LeftBorder);
    QVERIFY(list.QListView::styleSheet().contains(QString(40, ' ') +
                                                  "QListView:item{ padding-left:8px;"));
    QVERIFY(list.QListView::styleSheet().contains("border-left: 2px solid #ff0000;"));
    QVERIFY(list.QListView::styleSheet().endsWith("QListView{ font-size:14px; }"));
}

void TestKelLayouts::shouldKeepSelectedPictureUnlessAsked()
{
    QPixmap red(28, 28);
    red.fill(Qt::red);
    KelSideList list;
    list.addItem("红", QIcon(red));
    const QIcon icon = qvariant_cast<QIcon>(list.model()->index(0, 0).data(Qt::DecorationRole));
    QCOMPARE(icon.pixmap(28, 28, QIcon::Selected).toImage().pixelColor(14, 14), QColor(Qt::red));

    list.setSelectionIconAble(true);
    list.addItem("原样", QIcon(red));
    const QIcon tinted = qvariant_cast<QIcon>(list.model()->index(1, 0).data(Qt::DecorationRole));
    QVERIFY(tinted.availableSizes(QIcon::Selected).isEmpty());
}

void TestKelLayouts::shouldWrapItemsLikeWords()
{
    QWidget container;
    auto *layout = new KelFlowLayout(&container, 0, 10, 10);
    QList<QWidget *> boxes;
    for (int i = 0; i < 3; ++i) {
        boxes << fixedBox(&container, 40);
        layout->addWidget(boxes.last());
    }
    layout->setGeometry(QRect(0, 0, 100, 200));
    QCOMPARE(boxes.at(0)->geometry(), QRect(0, 0, 40, 20));
    QCOMPARE(boxes.at(1)->geometry(), QRect(50, 0, 40, 20));
    QCOMPARE(boxes.at(2)->geometry(), QRect(0, 30, 40, 20));
    QVERIFY(layout->hasHeightForWidth());
    QCOMPARE(layout->heightForWidth(100), 50);
    QCOMPARE(layout->heightForWidth(200), 20);
    QCOMPARE(layout->minimumSize(), QSize(40, 20));

    QLayoutItem *taken = layout->takeAt(0);
    QVERIFY(taken);
    delete taken;
    QCOMPARE(layout->count(), 2);
    QVERIFY(!layout->takeAt(5));
    QVERIFY(!layout->itemAt(-1));
}

void TestKelLayouts::shouldKeepOverWideItemWhole()
{
    QWidget container;
    auto *layout = new KelFlowLayout(&container, 0, 10, 10);
    QWidget *small = fixedBox(&container, 40);
    QWidget *wide = fixedBox(&container, 150);
    QWidget *after = fixedBox(&container, 40);
    layout->addWidget(small);
    layout->addWidget(wide);
    layout->addWidget(after);
    layout->setGeometry(QRect(0, 0, 100, 200));
    QCOMPARE(wide->geometry(), QRect(0, 30, 150, 20));
    QCOMPARE(after->geometry(), QRect(0, 60, 40, 20));
}

void TestKelLayouts::shouldMeasureEmptyLayoutByMargins()
{
    KelFlowLayout layout(7, 10, 10);
    QCOMPARE(layout.heightForWidth(300), 14);
    QCOMPARE(layout.minimumSize(), QSize(14, 14));
    QCOMPARE(layout.horizontalSpacing(), 10);
}

// A spacer has no widget to ask for a spacing; an unparented layout has no style either.
void TestKelLayouts::shouldFallBackWhenItemHasNoStyle()
{
    KelFlowLayout layout(0);
    QCOMPARE(layout.horizontalSpacing(), -1);
    layout.addItem(new QSpacerItem(30, 10));
    layout.addItem(new QSpacerItem(30, 10));
    QCOMPARE(layout.heightForWidth(100), 10);

    QWidget container;
    auto *owned = new KelFlowLayout(&container, 0);
    owned->addItem(new QSpacerItem(30, 10));
    QVERIFY(owned->heightForWidth(100) >= 10);
}

QUIVER_TEST_MAIN(TestKelLayouts)
#include "tst_kellayouts.moc"
