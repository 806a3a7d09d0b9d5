#pragma once
// Everything the windows ask of the desktop: message boxes, the folder chooser,
// opening a web or mail address. Tests install their own answers.

#include <optional>
#include <string>

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

class TDialogs {
    Q_DECLARE_TR_FUNCTIONS(TDialogs)

public:
    enum class TKind { Information, Error };

    virtual ~TDialogs() = default;
    // A typed box with one OK button; returns when it is closed.
    virtual void Message(QWidget* parent, TKind kind, const QString& caption, const QString& text);
    virtual void About(QWidget* parent, const QString& caption, const QString& text);
    // The chosen folder as file-system bytes, or nothing on cancel.
    virtual std::optional<std::string> ChooseFolder(QWidget* parent, const QString& initial);
    // A JPEG file to look into, as file-system bytes, or nothing on cancel.
    virtual std::optional<std::string> ChoosePicture(QWidget* parent, const QString& initialFolder);
    virtual void OpenUrl(const QUrl& url);
    // A question with Yes and No; true for Yes.
    virtual bool Ask(QWidget* parent, const QString& caption, const QString& text);
    // A list the user can read, select and copy, one entry a line.
    virtual void ShowList(QWidget* parent, const QString& caption, const QString& text, const QStringList& lines);

    // The dialogs in use; SetCurrent(nullptr) returns to the desktop's own.
    static TDialogs& Current();
    static void SetCurrent(TDialogs* dialogs);
};

// The application's default error handler: the exception's message, with the
// full-stop rule, in an error box captioned "Zorezaz".
void ShowErrorBox(QWidget* parent, const char* message);

// The file-system bytes of a path as a window shows it. A name that is not
// valid UTF-8 is shown with replacement characters, which no longer encode
// to its bytes; such a part is looked up among its folder's entries by the
// way it is shown, and taken when exactly one entry looks like that.
std::string BytesOfShownPath(const QString& shown);
