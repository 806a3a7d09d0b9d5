#pragma once
// A label that is a link: underlined, with the hand pointer, and a click opens
// its own text as a web address (or, with MailLabel, as an e-mail address).

#include <QLabel>

class TURLLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool MailLabel READ MailLabel WRITE SetMailLabel)

public:
    explicit TURLLabel(QWidget* parent = nullptr);

    bool MailLabel() const { return FMailLabel; }
    void SetMailLabel(bool mail) { FMailLabel = mail; }
    // The address a click opens.
    QUrl Target() const;

signals:
    // The host's own click handler runs before the address is opened.
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // With the focus (only Tab gives it), a dotted frame round the link.
    void paintEvent(QPaintEvent* event) override;

private:
    bool FMailLabel = false;
};
