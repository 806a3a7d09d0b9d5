#include "app/window/status_bar.h"

#include <QPainter>
#include <QStyleOption>

namespace {
// The margin the toolkit leaves around the status text.
constexpr int kMargin = 6;
}  // namespace

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {}

QRect TStatusBar::MessageRect() const
{
    int right = width() - kMargin;
    // Permanent widgets (the progress bar) sit at the right; the text ends before them.
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && child->x() > kMargin) right = std::min(right, child->x() - kMargin);
    return QRect(kMargin, 0, std::max(0, right - kMargin), height());
}

QString TStatusBar::ShownText() const
{
    return fontMetrics().elidedText(currentMessage(), Qt::ElideMiddle, MessageRect().width());
}

void TStatusBar::paintEvent(QPaintEvent* event)
{
    if (currentMessage().isEmpty()) {
        QStatusBar::paintEvent(event);
        return;
    }
    QPainter p(this);
    QStyleOption opt;
    opt.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &opt, &p, this);
    p.setPen(palette().windowText().color());
    p.drawText(MessageRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, ShownText());
}
