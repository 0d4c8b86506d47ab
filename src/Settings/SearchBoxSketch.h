#pragma once

#include <QWidget>

namespace Ui {
class SearchBoxSketch;
}

// A sketch of a search window of its own, opened from the settings window's hidden page: one
// text field, no behaviour yet.
class SearchBoxSketch final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchBoxSketch)

public:
    explicit SearchBoxSketch(QWidget *parent = nullptr);
    ~SearchBoxSketch() override;

private:
    Ui::SearchBoxSketch *ui;
};
