#include "app/url_label.h"

#include <QMouseEvent>
#include <QUrl>

#include "app/dialogs.h"

TURLLabel::TURLLabel(QWidget* parent) : QLabel(parent)
{
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
}

QUrl TURLLabel::Target() const
{
    if (FMailLabel) return QUrl(QStringLiteral("mailto:") + text());
    // The caption is the address as shown; a bare host name still opens in the browser.
    return QUrl::fromUserInput(text());
}

void TURLLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    emit clicked();
    TDialogs::Current().OpenUrl(Target());
}
