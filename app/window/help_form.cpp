#include "app/window/help_form.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "app/window/help_text.h"
#include "app/window/window_font.h"
#include "ui_help_form.h"

THelpForm::THelpForm(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::THelpForm>())
{
    ui->setupUi(this);
    // A dialog border: no resizing, no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    ApplyWindowFont(this);
    setFixedSize(379, 411);
    QPalette memo = ui->Memo1->palette();
    memo.setColor(QPalette::Base, memo.color(QPalette::Button));
    ui->Memo1->setPalette(memo);
    ui->Memo1->setPlainText(HelpLines().join('\n'));
    connect(ui->btnClose, &QPushButton::clicked, this, &THelpForm::btnCloseClick);
    // Key preview: the window sees keys before its controls do.
    ui->Memo1->installEventFilter(this);
    ui->btnClose->installEventFilter(this);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

THelpForm::~THelpForm() = default;

void THelpForm::btnCloseClick()
{
    accept();
}

void THelpForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ui->Memo1->moveCursor(QTextCursor::Start);
    ui->btnClose->setFocus();
}

bool THelpForm::FormKeyDown(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape) return false;
    reject();
    return true;
}

void THelpForm::keyPressEvent(QKeyEvent* event)
{
    if (!FormKeyDown(event)) QDialog::keyPressEvent(event);
}

bool THelpForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event))) return true;
    return QDialog::eventFilter(watched, event);
}
