#include "tests/support/exiftool.h"

#include <cstdio>
#include <cstdlib>

namespace fixture {

namespace {
std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    const auto e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}
}  // namespace

bool HaveExiftool()
{
    return std::system("exiftool -ver >/dev/null 2>&1") == 0;
}

std::map<std::string, std::string> Exiftool(const std::string& args, const std::string& file)
{
    std::map<std::string, std::string> out;
    const std::string cmd = "exiftool -n -s " + args + " " + Quote(file) + " 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    pclose(p);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        const auto colon = line.find(':');
        if (colon != std::string::npos) out[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
        pos = end + 1;
    }
    return out;
}

bool ExpectedSize(const std::string& file, int& width, int& height)
{
    auto tags = Exiftool("-ExifIFD:ExifImageWidth -ExifIFD:ExifImageHeight -IFD0:ImageWidth -IFD0:ImageHeight", file);
    const char* w = tags.count("ExifImageWidth") ? "ExifImageWidth" : "ImageWidth";
    const char* h = tags.count("ExifImageHeight") ? "ExifImageHeight" : "ImageHeight";
    if (!tags.count(w) || !tags.count(h)) return false;
    width = std::stoi(tags[w]);
    height = std::stoi(tags[h]);
    return true;
}

}  // namespace fixture
