#pragma once
// The main window's status line: one simple text, which a long path would
// cut off at the right; it is shortened in the middle instead, so the file
// name at the end stays in view.

#include <QStatusBar>

class TStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit TStatusBar(QWidget* parent = nullptr);

    // The current message as it is painted: whole when it fits, otherwise
    // shortened in the middle with an ellipsis.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect MessageRect() const;
};
