#pragma once

#include <QListView>

#include "kelwidgets_export.h"

class QStandardItem;
class QStandardItemModel;

// A vertical navigation list for the side of a settings-style window. It owns its model,
// selects its first entry by itself and styles itself from a template with five colours.
class KELWIDGETS_EXPORT KelSideList : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelSideList)

public:
    struct StyleConfig
    {
        QString color = QStringLiteral("#323130");
        QString bgColor = QStringLiteral("#f3f2f1");
        QString s_color = QStringLiteral("#3b3a39");
        QString s_bgColor = QStringLiteral("#d3d3d3");
        QString bdColor = QStringLiteral("#0078d4");
    };
    enum StyleMode : int { LeftBorder = 0, Rounded = 1 };

    explicit KelSideList(QWidget *parent = nullptr);

    void addItem(const QString &text);
    void addItem(const QString &text, const QIcon &icon);
    void addItem(const QIcon &icon, const QString &toolTip);
    void addItem(const QString &text, const QString &iconFile);
    void addItem(const QString &text, const QString &iconFile, const QString &selectedIconFile);

    void setSelectionIconAble(bool able);
    void setStyleColor(const StyleConfig &config);
    void setStyleMode(const StyleMode &mode);
    void setStyleSheet(const QString &styleSheet);
    QString styleSheet() const;
    void setTextAlignment(Qt::Alignment alignment);
    // A side list is always a list; any other mode is ignored.
    void setViewMode(QListView::ViewMode mode);

signals:
    void currentRowChanged(int index);

private:
    void append(QStandardItem *item);
    QIcon withSelectionIcon(const QIcon &icon) const;

    QStandardItemModel *m_model;
    QString m_template;
    QString m_styleSheet;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    StyleConfig m_colors;
    bool m_selectionIcon = false;
};
