#pragma once

#include <QLabel>

namespace dravex {

// A label that reports clicks and double clicks. It takes every mouse press for itself, so a press on
// it never reaches the window behind (the window opens its popup menu on presses of its own).
class ClickLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickLabel(QWidget *parent = nullptr);

Q_SIGNALS:
    // A left press and release, both on the label.
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // The release that ends a double click is not a second click: one double click on a row number
    // must eject its stick once.
    bool m_releaseEndsDoubleClick = false;
};

} // namespace dravex
