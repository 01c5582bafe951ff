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
    if (m_releaseEndsDoubleClick) {
        m_releaseEndsDoubleClick = false;
        return;
    }
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        m_releaseEndsDoubleClick = true;
        Q_EMIT doubleClicked();
    }
}

} // namespace dravex
