#include "ui/clicklabel.h"

#include <QMouseEvent>

namespace dravex {

ClickLabel::ClickLabel(QWidget *parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void ClickLabel::mousePressEvent(QMouseEvent *event) {
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() == Qt::LeftButton)
        Q_EMIT doubleClicked();
}

} // namespace dravex
