#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

namespace {

struct tMessage {
    bool Numerus = false;
    QString Type;          // of the translation: "", "unfinished", "vanished", "obsolete"
    QStringList Forms;     // the translation, or its numerus forms
};
using tKey = std::pair<QString, QString>;  // context, source
using tCatalogue = std::map<tKey, tMessage>;

// A Qt Linguist .ts file: each message by context and source text.
tCatalogue Read(const QString& path)
{
    tCatalogue messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context, source;
    tMessage message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                message = {};
                message.Numerus = xml.attributes().value("numerus") == QLatin1String("yes");
            } else if (name == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                message.Type = xml.attributes().value("type").toString();
                if (!message.Numerus) message.Forms << xml.readElementText();
            } else if (name == QLatin1String("numerusform")) {
                message.Forms << xml.readElementText();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            EXPECT_TRUE(messages.emplace(tKey{context, source}, message).second)
                << "twice in " << path.toStdString() << ": " << source.toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return messages;
}

// The placeholders a text carries (%1…%9, %n, and a progress bar's %v, %m), sorted.
QStringList Placeholders(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%[1-9nvm]"));
    QStringList found;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) found << it.next().captured();
    found.sort();
    return found;
}

// Mnemonic marks: "&" before a letter ("&&" is a plain ampersand).
int Mnemonics(const QString& text)
{
    return int(QString(text).remove(QStringLiteral("&&")).count(QLatin1Char('&')));
}

std::string S(const QString& text) { return text.toStdString(); }

// German, like English, has one singular and one plural form.
constexpr int kPluralForms = 2;

}  // namespace

TEST(Translations, TheTemplateHoldsTheWindowsTexts)
{
    const tCatalogue texts = Read(QStringLiteral(ZOREZAZ_TS_TEMPLATE));
    // A sample from each window: if these are missing, the template is not
    // made from the window sources.
    for (const auto& [context, source] : std::vector<std::pair<const char*, const char*>>{
             {"TMainForm", "&Start folder:"},
             {"TMainForm", "Strip XMP and other &metadata"},
             {"TMainForm", "Processing %1"},
             {"THelpForm", "Close"},
             {"THelpForm", "Zorezaz is very easy to use:"},
             {"TDialogs", "Select folder"},
             {"TMetadataView", "Metadata of %1"}})
        EXPECT_EQ(texts.count({QString::fromUtf8(context), QString::fromUtf8(source)}), 1u) << context << " " << source;
}

TEST(Translations, EveryKeptTranslationIsCompleteAndKeepsPlaceholdersAndMnemonics)
{
    const tCatalogue texts = Read(QStringLiteral(ZOREZAZ_TS_TEMPLATE));
    ASSERT_FALSE(texts.empty());
    for (const QString& language : QStringLiteral(ZOREZAZ_TS_LANGUAGES).split(QLatin1Char(','))) {
        const QString path = QStringLiteral(ZOREZAZ_TS_DIR "/zorezaz_%1.ts").arg(language);
        const tCatalogue translated = Read(path);
        for (const auto& [key, message] : texts) {
            const std::string where = S(language) + ": " + S(key.first) + " \"" + S(key.second) + "\"";
            const auto found = translated.find(key);
            if (found == translated.end()) {
                ADD_FAILURE() << where << " is not translated (cmake --build build --target update_translations)";
                continue;
            }
            const tMessage& t = found->second;
            EXPECT_EQ(t.Type, QString()) << where << " is marked " << S(t.Type);
            EXPECT_EQ(t.Numerus, message.Numerus) << where;
            EXPECT_EQ(t.Forms.size(), message.Numerus ? kPluralForms : 1) << where;
            for (const QString& form : t.Forms) {
                EXPECT_FALSE(form.trimmed().isEmpty()) << where;
                EXPECT_EQ(Placeholders(form), Placeholders(key.second)) << where << " -> " << S(form);
                EXPECT_EQ(Mnemonics(form), Mnemonics(key.second)) << where << " -> " << S(form);
            }
        }
        // Nothing left over from texts the windows no longer show.
        for (const auto& [key, message] : translated)
            EXPECT_EQ(texts.count(key), 1u) << S(language) << ": no longer used: " << S(key.first) << " \""
                                            << S(key.second) << "\"";
    }
}
