#pragma once

#include <QWidget>

namespace Ui {
class Form_Skins;
}

// The skin editor: creates, edits, renames and deletes the skins in "../skins" and asks the
// main window to use one.
class Form_Skins final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form_Skins)

public:
    explicit Form_Skins(QWidget *parent = nullptr);
    ~Form_Skins() override;

signals:
    void skinsChanged(QString fileName);

public slots:
    void onSetSkins();
    void onRename();
    void onDelete();
    void onCreateSkin();
    void onSaveSkins();
    void onChangeBgImg();
    void setCurrentSkinsInfo(const QString &name);

private:
    void fillList();
    void selectSkin(const QString &name);
    void notify(const QString &text, bool ok, int duration = 2000);
    // Whether the list's current entry names a skin the buttons may act on.
    bool hasCurrentSkin() const;

    Ui::Form_Skins *ui;
};
