#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <sys/wait.h>

namespace {

using tOptions = std::set<std::string>;

const std::string kPage = ZOREZAZ_MAN_DIR "/zorezaz-cli.1";
const std::string kPageName = "man/zorezaz-cli.1";

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Standard output of a shell command, and its exit status.
std::pair<std::string, int> Shell(const std::string& command)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {"", -1};
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int rc = ::pclose(pipe);
    return {out, WIFEXITED(rc) ? WEXITSTATUS(rc) : -1};
}

// Every long option ("--word" or "--two-words") written in `text`.
tOptions LongOptions(const std::string& text)
{
    static const std::regex option("--[a-z0-9]+(-[a-z0-9]+)*");
    tOptions found;
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) found.insert(it->str());
    return found;
}

// Roff source as the reader sees it, as far as option names go: "\-" is a
// dash, font changes and zero-width marks vanish.
std::string Plain(const std::string& roff)
{
    static const std::regex escapes(R"(\\f(\[[^\]]*\]|\(..|.)|\\&)");
    const std::string fonts = std::regex_replace(roff, escapes, "");
    return std::regex_replace(fonts, std::regex(R"(\\-)"), "-");
}

struct TOptionLists {
    tOptions Table;      // the options that have their own entry
    tOptions Mentioned;  // every option named anywhere
};

// --help's option table: lines that start with two blanks and an option, the
// option names before the description.
TOptionLists HelpOptions(const std::string& help)
{
    TOptionLists lists{{}, LongOptions(help)};
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  --", 0) != 0) continue;
        const size_t description = line.find("  ", 2);
        for (const std::string& o : LongOptions(line.substr(0, description))) lists.Table.insert(o);
    }
    return lists;
}

// The page's entries: the tag line after each .TP in the OPTIONS section.
TOptionLists PageOptions(const std::string& roff)
{
    const std::string plain = Plain(roff);
    TOptionLists lists{{}, LongOptions(plain)};
    std::istringstream lines(plain);
    bool inOptions = false, tagNext = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH", 0) == 0) {
            inOptions = line.find("OPTIONS") != std::string::npos;
        } else if (inOptions && line.rfind(".TP", 0) == 0) {
            tagNext = true;
        } else if (tagNext) {
            for (const std::string& o : LongOptions(line)) lists.Table.insert(o);
            tagNext = false;
        }
    }
    return lists;
}

TEST(ManPage, HasAnEntryForEveryOptionOfHelpAndNoOther)
{
    const auto [help, status] = Shell("'" ZOREZAZ_CLI "' --help");
    ASSERT_EQ(status, 0);
    const TOptionLists fromHelp = HelpOptions(help);
    const TOptionLists fromPage = PageOptions(ReadText(kPage));

    // The readers themselves find today's options, so an empty pair of lists
    // cannot pass for agreement.
    for (const char* known : {"--exif", "--out", "--help"}) {
        EXPECT_EQ(fromHelp.Table.count(known), 1u) << "not found in the option table of --help: " << known;
        EXPECT_EQ(fromPage.Table.count(known), 1u) << "not found under OPTIONS in " << kPageName << ": " << known;
    }

    for (const std::string& o : fromHelp.Table)
        if (!fromPage.Table.count(o))
            ADD_FAILURE() << "zorezaz-cli --help lists " << o << " but " << kPageName
                          << " has no entry for it: add a .TP entry under OPTIONS (and to SYNOPSIS)";
    for (const std::string& o : fromPage.Table)
        if (!fromHelp.Table.count(o))
            ADD_FAILURE() << kPageName << " has an OPTIONS entry for " << o
                          << " but zorezaz-cli --help does not list it: add it to --help or drop the entry";
    for (const std::string& o : fromPage.Mentioned)
        if (!fromHelp.Mentioned.count(o))
            ADD_FAILURE() << kPageName << " mentions " << o << ", which zorezaz-cli --help never mentions";
    for (const std::string& o : fromHelp.Mentioned)
        if (!fromPage.Mentioned.count(o))
            ADD_FAILURE() << "zorezaz-cli --help mentions " << o << ", which " << kPageName << " never mentions";
}

TEST(ManPage, ReadersSeeOptionsThroughRoffEscapes)
{
    const TOptionLists page = PageOptions(".SH SYNOPSIS\n.RB [ \\-\\-not\\-an\\-entry ]\n"
                                          ".SH OPTIONS\n.TP\n\\fB\\-\\-keep\\-going\\fR\n"
                                          "Text naming \\fI\\-\\-other\\fP.\n"
                                          ".TP\n.BR \\-\\-help \", \" \\-h\n"
                                          ".SH EXAMPLES\n.TP\n.B \\-\\-example\n");
    EXPECT_EQ(page.Table, (tOptions{"--help", "--keep-going"}));
    EXPECT_EQ(page.Mentioned, (tOptions{"--example", "--help", "--keep-going", "--not-an-entry", "--other"}));

    const TOptionLists help = HelpOptions("Usage: x [--a-b]\n"
                                          "  --list, --ls   show --c\n"
                                          "                 then --d\n");
    EXPECT_EQ(help.Table, (tOptions{"--list", "--ls"}));
    EXPECT_EQ(help.Mentioned, (tOptions{"--a-b", "--c", "--d", "--list", "--ls"}));
}

// man and lintian run the pages through groff; a misspelt macro shows there.
TEST(ManPage, PagesRenderWithoutWarnings)
{
    if (Shell("command -v groff >/dev/null").second != 0) GTEST_SKIP() << "groff is not installed";
    for (const char* page : {"zorezaz.1", "zorezaz-cli.1"}) {
        const auto [warnings, status] =
            Shell(std::string("LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z '" ZOREZAZ_MAN_DIR "/") + page + "' 2>&1");
        EXPECT_EQ(status, 0) << page;
        EXPECT_EQ(warnings, "") << page;
    }
}

}  // namespace
