#include "app/window/anchors.h"

#include <QEvent>
#include <QWidget>

TAnchors::TAnchors(QWidget* parent) : QObject(parent), FParent(parent), FDesignedWidth(parent->width())
{
    parent->installEventFilter(this);
}

void TAnchors::Add(QWidget* child, TKind kind)
{
    FItems.push_back({child, kind, child->geometry()});
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FParent && event->type() == QEvent::Resize) {
        const int delta = FParent->width() - FDesignedWidth;
        for (const tItem& item : FItems) {
            QRect r = item.Designed;
            if (item.Kind == TKind::Stretch) r.setWidth(r.width() + delta);
            else r.moveLeft(r.left() + delta);
            item.Child->setGeometry(r);
        }
    }
    return QObject::eventFilter(watched, event);
}
