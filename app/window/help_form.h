#pragma once
// The help window: a fixed text and a Close button, shown modally and reused.

#include <memory>

#include <QDialog>

namespace Ui {
class THelpForm;
}

class THelpForm : public QDialog {
    Q_OBJECT

public:
    explicit THelpForm(QWidget* parent = nullptr);
    ~THelpForm() override;

public slots:
    void btnCloseClick();

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Escape closes the window wherever the focus is; other keys pass on.
    bool FormKeyDown(QKeyEvent* event);

    std::unique_ptr<Ui::THelpForm> ui;
};
