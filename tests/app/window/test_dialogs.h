#pragma once
// Dialogs that answer at once and remember what they were asked.

#include <deque>
#include <functional>
#include <optional>

#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/window/dialogs.h"

class TTestDialogs : public TDialogs {
public:
    struct tMessage {
        TKind Kind;
        QString Caption, Text;
    };

    TTestDialogs() { TDialogs::SetCurrent(this); }
    ~TTestDialogs() override { TDialogs::SetCurrent(nullptr); }

    void Message(QWidget*, TKind kind, const QString& caption, const QString& text) override
    {
        Messages.push_back({kind, caption, text});
    }
    void About(QWidget*, const QString& caption, const QString& text) override
    {
        Abouts << caption + "|" + text;
    }
    std::optional<std::string> ChooseFolder(QWidget*, const QString& initial) override
    {
        FolderAsked << initial;
        if (FolderAnswers.empty()) return std::nullopt;
        const auto answer = FolderAnswers.front();
        FolderAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> ChoosePicture(QWidget*, const QString& initialFolder) override
    {
        FileAsked << initialFolder;
        if (FileAnswers.empty()) return std::nullopt;
        const auto answer = FileAnswers.front();
        FileAnswers.pop_front();
        return answer;
    }
    void OpenUrl(const QUrl& url) override { Opened << url.toString(); }
    bool Ask(QWidget*, const QString& caption, const QString& text) override
    {
        Questions << caption + "|" + text;
        if (OnAsk) OnAsk();
        return Answer;
    }
    void ShowList(QWidget*, const QString& caption, const QString& text, const QStringList& lines) override
    {
        Lists.push_back({caption, text, lines});
    }

    struct tList {
        QString Caption, Text;
        QStringList Lines;
    };

    std::vector<tMessage> Messages;
    QStringList Abouts, FolderAsked, FileAsked, Opened, Questions;
    std::deque<std::optional<std::string>> FolderAnswers, FileAnswers;
    bool Answer = true;                // to every question
    std::function<void()> OnAsk;       // runs while a question is open
    std::vector<tList> Lists;
};
