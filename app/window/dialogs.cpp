#include "app/window/dialogs.h"

#include <vector>

#include <dirent.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/error_text.h"
#include "meta/formats/formats.h"

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

std::optional<std::string> TDialogs::ChooseFolder(QWidget* parent, const QString& initial)
{
    const QString chosen = QFileDialog::getExistingDirectory(parent, tr("Select folder"), initial);
    if (chosen.isEmpty()) return std::nullopt;
    return BytesOfShownPath(chosen);
}

std::optional<std::string> TDialogs::ChoosePicture(QWidget* parent, const QString& initialFolder)
{
    // Every format's extensions, in lower and upper case (the filter is
    // case-sensitive here); content decides, so "All files" is offered too.
    QString masks;
    for (const tFormat& format : Formats())
        for (std::string_view ext : format.Extensions) {
            const QString e = QString::fromLatin1(ext.data(), static_cast<qsizetype>(ext.size()));
            masks += QStringLiteral(" *") + e + QStringLiteral(" *") + e.toUpper();
        }
    const QString chosen = QFileDialog::getOpenFileName(
        parent, tr("Show metadata"), initialFolder,
        tr("Pictures Zorezaz cleans") + QStringLiteral(" (") + masks.trimmed() + QStringLiteral(");;") +
            tr("All files") + QStringLiteral(" (*)"));
    if (chosen.isEmpty()) return std::nullopt;
    return BytesOfShownPath(chosen);
}

bool TDialogs::Ask(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TDialogs::ShowList(QWidget* parent, const QString& caption, const QString& text, const QStringList& lines)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(text, &dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* list = new QPlainTextEdit(lines.join('\n'), &dialog);
    list->setObjectName(QStringLiteral("SkippedList"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    QPushButton* copy = buttons->addButton(tr("&Copy all"), QDialogButtonBox::ActionRole);
    QObject::connect(copy, &QPushButton::clicked, &dialog,
                     [lines] { QGuiApplication::clipboard()->setText(lines.join('\n') + '\n'); });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(560, 300);
    dialog.exec();
}

std::string BytesOfShownPath(const QString& shown)
{
    const QByteArray whole = QFile::encodeName(shown);
    if (!shown.contains(QChar::ReplacementCharacter)) return whole.toStdString();
    std::string path;
    const QStringList parts = shown.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) path += '/';
        const QString& part = parts[i];
        std::string bytes = QFile::encodeName(part).toStdString();
        if (part.contains(QChar::ReplacementCharacter)) {
            std::vector<std::string> alike;
            const std::string folder = path.empty() ? std::string(".") : path;
            if (DIR* dir = ::opendir(folder.c_str())) {
                while (const dirent* e = ::readdir(dir))
                    if (QFile::decodeName(QByteArray(e->d_name)) == part) alike.emplace_back(e->d_name);
                ::closedir(dir);
            }
            if (alike.size() == 1) bytes = alike.front();
        }
        path += bytes;
    }
    return path;
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
