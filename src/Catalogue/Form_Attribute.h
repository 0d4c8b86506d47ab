#pragma once

#include <QPersistentModelIndex>

#include "KelFramelessDialogLite.h"

class QMenu;

namespace Ui {
class Form_Attribute;
}

// The properties of one item: typed in for a new item of a group (add mode) or shown and
// changed for an existing one (edit mode). The chosen icon's hash name travels in the
// "HashFile" property of the icon label.
class Form_Attribute final : public KelFramelessDialogLite
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form_Attribute)

public:
    // A group's index for adding, an item's index for editing.
    explicit Form_Attribute(const QModelIndex &index);
    ~Form_Attribute() override;

    // Set before the dialog runs.
    void setEditMode(bool edit) { m_editMode = edit; }

public slots:
    void onSetIcon();
    void onAcceptData();
    void onShowAdvanced();
    void onSetLineEditState(int index);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadItem();
    // Fills what the user left empty from the chosen file, as a drop of it would.
    void fillFromFile(const QString &path);
    // The fields an item cannot do without that are still empty, as the dialog names them.
    QStringList missingFields() const;
    void showFallbackIcon(int type);
    void showCachedIcon(const QString &file);

    Ui::Form_Attribute *ui;
    QPersistentModelIndex m_index;
    bool m_editMode = false;
    QMenu *m_iconMenu;
};
