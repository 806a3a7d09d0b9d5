#pragma once
// Dialogs that answer at once and remember what they were asked.

#include <deque>
#include <optional>

#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/dialogs.h"

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
    std::optional<QString> ChooseFolder(QWidget*, const QString& initial) override
    {
        FolderAsked << initial;
        if (FolderAnswers.empty()) return std::nullopt;
        const auto answer = FolderAnswers.front();
        FolderAnswers.pop_front();
        return answer;
    }
    void OpenUrl(const QUrl& url) override { Opened << url.toString(); }

    std::vector<tMessage> Messages;
    QStringList Abouts, FolderAsked, Opened;
    std::deque<std::optional<QString>> FolderAnswers;
};
