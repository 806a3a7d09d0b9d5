#include "app/dialogs.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "app/error_text.h"

namespace {
TDialogs* gCurrent = nullptr;
}

void TDialogs::Message(QWidget* parent, TKind kind, const QString& caption, const QString& text)
{
    QMessageBox box(kind == TKind::Information ? QMessageBox::Information : QMessageBox::Critical, caption, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

void TDialogs::About(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox::about(parent, caption, text);
}

std::optional<QString> TDialogs::ChooseFolder(QWidget* parent, const QString& initial)
{
    const QString chosen = QFileDialog::getExistingDirectory(parent, QStringLiteral("Select folder"), initial);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

void TDialogs::OpenUrl(const QUrl& url)
{
    // The result is not looked at: a missing browser is the desktop's business.
    QDesktopServices::openUrl(url);
}

TDialogs& TDialogs::Current()
{
    static TDialogs desktop;
    return gCurrent ? *gCurrent : desktop;
}

void TDialogs::SetCurrent(TDialogs* dialogs)
{
    gCurrent = dialogs;
}

void ShowErrorBox(QWidget* parent, const char* message)
{
    // Messages carry file names as bytes; decode them only for display.
    TDialogs::Current().Message(parent, TDialogs::TKind::Error, QString::fromUtf8(kAppTitle),
                                QFile::decodeName(QByteArray::fromStdString(ErrorBoxText(message))));
}
