#include "app/window/url_label.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "app/window/dialogs.h"

TURLLabel::TURLLabel(QWidget* parent) : QLabel(parent)
{
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    // Reachable with Tab, and Enter or Space opens it, as a click does.
    setFocusPolicy(Qt::TabFocus);
}

QUrl TURLLabel::Target() const
{
    if (FMailLabel) return QUrl(QStringLiteral("mailto:") + text());
    // The caption is the address as shown; a bare host name still opens in the browser.
    return QUrl::fromUserInput(text());
}

void TURLLabel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) {
        QLabel::keyPressEvent(event);
        return;
    }
    emit clicked();
    TDialogs::Current().OpenUrl(Target());
}

void TURLLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    emit clicked();
    TDialogs::Current().OpenUrl(Target());
}

void TURLLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    // A label has no focus mark of its own; a browser frames a focused link
    // in dots of its colour.
    QPainter painter(this);
    QPen pen(palette().color(foregroundRole()));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
