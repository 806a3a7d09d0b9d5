#pragma once
// Keeps child widgets placed as designed when their parent grows wider: some
// stretch with the width, some keep their distance to the right edge.

#include <QObject>
#include <QRect>
#include <QVector>

class QWidget;

class TAnchors : public QObject {
public:
    enum class TKind { Stretch, Right };

    // `parent` has the width it was designed with.
    explicit TAnchors(QWidget* parent);
    void Add(QWidget* child, TKind kind);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct tItem {
        QWidget* Child;
        TKind Kind;
        QRect Designed;
    };
    QWidget* FParent;
    int FDesignedWidth;
    QVector<tItem> FItems;
};
