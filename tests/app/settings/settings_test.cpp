#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include <sys/stat.h>

#include "app/settings/settings_file.h"
#include "app/settings/settings_key.h"
#include "app/settings/settings_memory.h"
#include "tests/support/jpeg_fixtures.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string Message(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ESettingsError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(SettingsKey, StringsReadByTheRegistryRules)
{
    TMemorySettingsStore store;
    auto& values = store.Keys[kSettingsKeyPath];
    values["Plain"] = {kRegString, "abc\0"s};
    values["Cut"] = {kRegString, "ab\0cd\0"s};
    values["Expand"] = {kRegExpandString, "%HOME%\0"s};
    values["Number"] = {kRegInteger, "\x01\0\0\0"s};
    values["EmptyNumber"] = {kRegInteger, ""};
    TSettingsKey key(store);
    ASSERT_TRUE(key.Open(kSettingsKeyPath));

    EXPECT_EQ(key.ReadString("Plain"), "abc");
    EXPECT_EQ(key.ReadString("Cut"), "ab");
    EXPECT_EQ(key.ReadString("Expand"), "%HOME%");  // not expanded
    EXPECT_EQ(key.ReadString("Missing"), "");        // no error
    EXPECT_EQ(key.ReadString("EmptyNumber"), "");    // nothing to read, so no type check
    EXPECT_EQ(Message([&] { key.ReadString("Number"); }), "Invalid data type for 'Number'");
}

TEST(SettingsKey, BooleansReadByTheRegistryRules)
{
    TMemorySettingsStore store;
    auto& values = store.Keys[kSettingsKeyPath];
    values["One"] = {kRegInteger, "\x01\0\0\0"s};
    values["Two"] = {kRegInteger, "\x02\0\0\0"s};
    values["High"] = {kRegInteger, "\0\0\0\x80"s};
    values["Zero"] = {kRegInteger, "\0\0\0\0"s};
    values["Long"] = {kRegInteger, "\x01\0\0\0\0\0\0\0"s};
    values["Text"] = {kRegString, "1\0"s};
    TSettingsKey key(store);
    ASSERT_TRUE(key.Open(kSettingsKeyPath));

    EXPECT_TRUE(key.ReadBool("One"));
    EXPECT_TRUE(key.ReadBool("Two"));
    EXPECT_TRUE(key.ReadBool("High"));
    EXPECT_FALSE(key.ReadBool("Zero"));
    EXPECT_EQ(key.ReadInteger("Two"), 2);
    EXPECT_EQ(Message([&] { key.ReadBool("Missing"); }), "Failed to get data for 'Missing'");
    EXPECT_EQ(Message([&] { key.ReadBool("Long"); }), "Failed to get data for 'Long'");
    EXPECT_EQ(Message([&] { key.ReadBool("Text"); }), "Invalid data type for 'Text'");
}

TEST(SettingsKey, WritesTypedValuesAndReportsFailures)
{
    TMemorySettingsStore store;
    {
        TSettingsKey key(store);
        ASSERT_TRUE(key.Open(kSettingsKeyPath));
        EXPECT_EQ(store.OpenCount, 1);
        key.WriteString("S", "/photos");
        key.WriteBool("B", true);
        key.WriteBool("F", false);
        store.FailWrites = true;
        EXPECT_EQ(Message([&] { key.WriteString("Source", "x"); }), "Failed to set data for 'Source'");
        EXPECT_EQ(Message([&] { key.WriteBool("EXIF", true); }), "Failed to set data for 'EXIF'");
    }
    EXPECT_EQ(store.OpenCount, 0);  // closed when the key goes out of scope
    const auto& values = store.Keys[kSettingsKeyPath];
    EXPECT_EQ(values.at("S"), (TStoredValue{kRegString, "/photos\0"s}));
    EXPECT_EQ(values.at("B"), (TStoredValue{kRegInteger, "\x01\0\0\0"s}));
    EXPECT_EQ(values.at("F"), (TStoredValue{kRegInteger, "\0\0\0\0"s}));
    EXPECT_EQ(values.count("Source"), 0u);

    store.FailOpen = true;
    TSettingsKey key(store);
    EXPECT_FALSE(key.Open(kSettingsKeyPath));
    EXPECT_EQ(Message([&] { key.WriteBool("X", true); }), "Failed to set data for 'X'");
}

TEST(SettingRows, OneTableLoadsWithDefaultsUntilTheFirstBadValueAndSavesEveryRow)
{
    bool keepGoing = false, exif = false, dates = true;
    std::string source = "before";
    auto flag = [](bool& at) {
        return std::make_pair([&at] { return tSettingRow::tValue(at); },
                              [&at](const tSettingRow::tValue& v) { at = std::get<bool>(v); });
    };
    auto [getKeep, setKeep] = flag(keepGoing);
    auto [getExif, setExif] = flag(exif);
    auto [getDates, setDates] = flag(dates);
    const std::vector<tSettingRow> rows{
        {"Source", std::string(), [&] { return tSettingRow::tValue(source); },
         [&](const tSettingRow::tValue& v) { source = std::get<std::string>(v); }},
        {"KeepGoing", true, getKeep, setKeep},
        {"EXIF", true, getExif, setExif},
        {"KeepDates", false, getDates, setDates},
    };
    const struct {
        const char* What;
        std::map<std::string, TStoredValue> Stored;
        std::string Source;
        bool KeepGoing, Exif, Dates;
    } cases[] = {
        {"a first start: the defaults", {}, "", true, true, false},
        {"all read",
         {{"Source", {kRegString, "/p\0"s}},
          {"KeepGoing", {kRegInteger, "\0\0\0\0"s}},
          {"EXIF", {kRegInteger, "\0\0\0\0"s}},
          {"KeepDates", {kRegInteger, "\x01\0\0\0"s}}},
         "/p", false, false, true},
        {"a bad value ends the reading",
         {{"Source", {kRegString, "/p\0"s}}, {"KeepGoing", {kRegString, "no\0"s}}, {"EXIF", {kRegInteger, "\0\0\0\0"s}}},
         "/p", true, true, false},
        {"an older file lacks the newer values",
         {{"Source", {kRegString, "/p\0"s}}, {"KeepGoing", {kRegInteger, "\0\0\0\0"s}}},
         "/p", false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TMemorySettingsStore store;
        store.Keys[kSettingsKeyPath] = c.Stored;
        LoadRows(store, kSettingsKeyPath, rows);
        EXPECT_EQ(source, c.Source);
        EXPECT_EQ(keepGoing, c.KeepGoing);
        EXPECT_EQ(exif, c.Exif);
        EXPECT_EQ(dates, c.Dates);
        EXPECT_EQ(store.OpenCount, 0);
    }
    // Saved: every row, with its kind.
    TMemorySettingsStore store;
    source = "/q";
    keepGoing = true;
    dates = false;
    SaveRows(store, kSettingsKeyPath, rows);
    const auto& saved = store.Keys[kSettingsKeyPath];
    EXPECT_EQ(saved.size(), rows.size());
    EXPECT_EQ(saved.at("Source"), (TStoredValue{kRegString, "/q\0"s}));
    EXPECT_EQ(saved.at("KeepGoing"), (TStoredValue{kRegInteger, "\x01\0\0\0"s}));
    EXPECT_EQ(saved.at("KeepDates"), (TStoredValue{kRegInteger, "\0\0\0\0"s}));
    store.FailWrites = true;
    EXPECT_EQ(Message([&] { SaveRows(store, kSettingsKeyPath, rows); }), "Failed to set data for 'Source'");
}

TEST(FileSettingsStore, ValuesSurviveInTheFileWithTheirTypes)
{
    fixture::TempDir dir;
    const std::string file = dir / "cfg/Zidovez/Zorezaz.conf";
    {
        TFileSettingsStore store(file);
        TSettingsKey key(store);
        ASSERT_TRUE(key.Open(kSettingsKeyPath));  // creates the folders
        key.WriteString("Source", "/home/me/caf\xE9 \"raw\"\\photos\n");
        key.WriteBool("InclSubfolders", true);
        key.WriteString("Prefix", "");
    }
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // private to the user

    TFileSettingsStore again(file);
    TSettingsKey key(again);
    ASSERT_TRUE(key.Open(kSettingsKeyPath));
    EXPECT_EQ(key.ReadString("Source"), "/home/me/caf\xE9 \"raw\"\\photos\n");
    EXPECT_TRUE(key.ReadBool("InclSubfolders"));
    EXPECT_EQ(key.ReadString("Prefix"), "");
    EXPECT_EQ(Message([&] { key.ReadBool("Prefix"); }), "Invalid data type for 'Prefix'");
    EXPECT_EQ(Message([&] { key.ReadBool("Source"); }), "Failed to get data for 'Source'");  // longer than 4 bytes

    const std::string text = fixture::ReadFile(file);
    EXPECT_NE(text.find("[Software\\Zidovez\\Zorezaz]\n"), std::string::npos);
    EXPECT_NE(text.find("\"InclSubfolders\"=dword:00000001\n"), std::string::npos);
    EXPECT_EQ(fs::directory_iterator(dir / "cfg/Zidovez")->path().filename(), "Zorezaz.conf");  // no temporaries
}

TEST(FileSettingsStore, FormatAndParseKeepAnyValue)
{
    TFileSettingsStore::tKeys keys;
    keys["Software\\Zidovez\\Zorezaz"]["Source"] = {kRegString, "a\0b\x01\x7F\xFF\0"s};
    keys["Software\\Zidovez\\Zorezaz"]["Expand"] = {kRegExpandString, "%X%\0"s};
    keys["Software\\Zidovez\\Zorezaz"]["NoZero"] = {kRegString, "abc"};
    keys["Software\\Zidovez\\Zorezaz"]["Short"] = {kRegInteger, "\x02"s};
    keys["Software\\Zidovez\\Zorezaz"]["Bin"] = {kRegBinary, ""};
    keys["Software\\Other"]["Big"] = {kRegInteger, "\x78\x56\x34\x12"s};
    const std::string text = TFileSettingsStore::Format(keys);
    EXPECT_NE(text.find("\"Big\"=dword:12345678"), std::string::npos);
    EXPECT_EQ(TFileSettingsStore::Parse(text), keys);
}

TEST(FileSettingsStore, UnreadableLinesArePassedOver)
{
    const auto keys = TFileSettingsStore::Parse(
        "\"Orphan\"=dword:00000001\n"
        "[Software\\Zidovez\\Zorezaz]\r\n"
        "\"Good\"=dword:00000001\r\n"
        "\"BadHex\"=dword:0000001\n"
        "\"BadQuote=sz:\"x\"\n"
        "\"Trailing\"=sz:\"x\" y\n"
        "\"Odd\"=hex(3):0\n"
        "garbage\n");
    ASSERT_EQ(keys.size(), 1u);
    const auto& values = keys.at("Software\\Zidovez\\Zorezaz");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values.at("Good"), (TStoredValue{kRegInteger, "\x01\0\0\0"s}));
}

TEST(FileSettingsStore, OtherKeysAreKeptAndFailedWritesChangeNothing)
{
    fixture::TempDir dir;
    const std::string file = dir / "Zorezaz.conf";
    fixture::WriteFile(file, "[Software\\Other]\n\"Keep\"=sz:\"yes\"\n");
    TFileSettingsStore store(file);
    TSettingsKey key(store);
    ASSERT_TRUE(key.Open(kSettingsKeyPath));
    key.WriteBool("EXIF", false);
    EXPECT_NE(fixture::ReadFile(file).find("\"Keep\"=sz:\"yes\""), std::string::npos);

    // The folder goes away under the store: the write fails and the value is not kept.
    fs::remove_all(dir.Path());
    EXPECT_EQ(Message([&] { key.WriteBool("Com", true); }), "Failed to set data for 'Com'");
    EXPECT_EQ(Message([&] { key.ReadBool("Com"); }), "Failed to get data for 'Com'");
    fs::create_directories(dir.Path());
}

TEST(FileSettingsStore, AKeyThatCannotBeHadIsNotOpened)
{
    fixture::TempDir dir;
    fixture::WriteFile(dir / "plainfile", "");
    TFileSettingsStore store(dir / "plainfile/Zidovez/Zorezaz.conf");
    EXPECT_FALSE(store.OpenKey(kSettingsKeyPath));
}

TEST(FileSettingsStore, LivesUnderTheXdgConfigFolder)
{
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldXdg ? oldXdg : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(TFileSettingsStore::DefaultFileName(), "/x/config/Zidovez/Zorezaz.conf");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules say
    EXPECT_EQ(TFileSettingsStore::DefaultFileName(), home + "/.config/Zidovez/Zorezaz.conf");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(TFileSettingsStore::DefaultFileName(), home + "/.config/Zidovez/Zorezaz.conf");
    if (oldXdg) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

}  // namespace
