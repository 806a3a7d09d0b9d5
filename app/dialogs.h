#pragma once
// Everything the windows ask of the desktop: message boxes, the folder chooser,
// opening a web or mail address. Tests install their own answers.

#include <optional>

#include <QString>
#include <QUrl>

class QWidget;

class TDialogs {
public:
    enum class TKind { Information, Error };

    virtual ~TDialogs() = default;
    // A typed box with one OK button; returns when it is closed.
    virtual void Message(QWidget* parent, TKind kind, const QString& caption, const QString& text);
    virtual void About(QWidget* parent, const QString& caption, const QString& text);
    // The chosen folder, or nothing on cancel.
    virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& initial);
    virtual void OpenUrl(const QUrl& url);

    // The dialogs in use; SetCurrent(nullptr) returns to the desktop's own.
    static TDialogs& Current();
    static void SetCurrent(TDialogs* dialogs);
};

// The application's default error handler: the exception's message, with the
// full-stop rule, in an error box captioned "Zorezaz".
void ShowErrorBox(QWidget* parent, const char* message);
