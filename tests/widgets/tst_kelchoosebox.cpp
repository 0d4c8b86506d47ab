#include "KelChooseBox.h"
#include "TestSupport.h"

#include <QDialog>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {
// Acts on the choice dialog once its modal loop runs.
void whenDialogOpens(std::function<void(QDialog *)> act)
{
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(dialog);
    });
}

QPushButton *button(QDialog *dialog, const QString &name)
{
    return dialog->findChild<QPushButton *>(name);
}
} // namespace

class TestKelChooseBox : public QObject
{
    Q_OBJECT

private slots:
    void shouldReturnDoubleClickedEntry();
    void shouldReturnNullOnCancelAndEmptyList();
    void shouldReturnSelectedEntries();
};

void TestKelChooseBox::shouldReturnDoubleClickedEntry()
{
    QString title;
    whenDialogOpens([&title](QDialog *dialog) {
        title = dialog->windowTitle();
        auto *view = dialog->findChild<QListView *>("listViewChoices");
        QCOMPARE(view->currentIndex().row(), 0);
        const QRect rect = view->visualRect(view->model()->index(2, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    });
    QCOMPARE(KelChooseBox::getChooseItem(nullptr, "选一个", {"甲", "乙", "丙"}),
             QStringLiteral("丙"));
    QCOMPARE(title, QStringLiteral("请选择 (单选)"));

    whenDialogOpens([](QDialog *dialog) { button(dialog, "buttonAccept")->click(); });
    QCOMPARE(KelChooseBox::getChooseItem(nullptr, "默认", {"甲", "乙"}), QStringLiteral("甲"));
}

void TestKelChooseBox::shouldReturnNullOnCancelAndEmptyList()
{
    whenDialogOpens([](QDialog *dialog) { button(dialog, "buttonCancel")->click(); });
    QVERIFY(KelChooseBox::getChooseItem(nullptr, "取消", {"甲"}).isNull());

    // No dialog may open for an empty list: the call returns before any event loop.
    QVERIFY(KelChooseBox::getChooseItem(nullptr, "空", {}).isNull());
    QVERIFY(KelChooseBox::getChooseItems(nullptr, "空", {}).isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
}

void TestKelChooseBox::shouldReturnSelectedEntries()
{
    QString title;
    whenDialogOpens([&title](QDialog *dialog) {
        title = dialog->windowTitle();
        button(dialog, "buttonSelectAll")->click();
        button(dialog, "buttonAccept")->click();
    });
    QCOMPARE(KelChooseBox::getChooseItems(nullptr, "多选", {"a", "b", "c"}),
             (QStringList{"a", "b", "c"}));
    QCOMPARE(title, QStringLiteral("请选择 (可多选)"));

    whenDialogOpens([](QDialog *dialog) {
        auto *view = dialog->findChild<QListView *>("listViewChoices");
        view->selectionModel()->select(view->model()->index(1, 0),
                                       QItemSelectionModel::ClearAndSelect);
        button(dialog, "buttonAccept")->click();
    });
    QCOMPARE(KelChooseBox::getChooseItems(nullptr, "多选", {"a", "b", "c"}), QStringList{"b"});

    whenDialogOpens([](QDialog *dialog) {
        button(dialog, "buttonSelectAll")->click();
        dialog->reject();
    });
    QVERIFY(KelChooseBox::getChooseItems(nullptr, "多选", {"a", "b"}).isEmpty());
}

QUIVER_TEST_MAIN(TestKelChooseBox)
#include "tst_kelchoosebox.moc"
