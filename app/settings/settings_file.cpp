#include "app/settings/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kHexDigits = "0123456789abcdef";

std::string Quote(const std::string& bytes)
{
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += kHexDigits[u >> 4];
            out += kHexDigits[u & 15];
        } else {
            out += c;
        }
    }
    return out + '"';
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at text[pos] == '"'; pos ends after the closing quote.
bool Unquote(const std::string& text, size_t& pos, std::string& out)
{
    if (pos >= text.size() || text[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= text.size()) return false;
        const char e = text[pos++];
        if (e == '\\' || e == '"') {
            out += e;
        } else if (e == 'x') {
            if (text.size() - pos < 2) return false;
            const int hi = HexValue(text[pos]), lo = HexValue(text[pos + 1]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            pos += 2;
        } else {
            return false;
        }
    }
    return false;
}

bool EndsWithZero(const std::string& s) { return !s.empty() && s.back() == '\0'; }

std::string FormatValue(const TStoredValue& v)
{
    if ((v.Type == kRegString || v.Type == kRegExpandString) && EndsWithZero(v.Data))
        return (v.Type == kRegString ? "sz:" : "expand_sz:") + Quote(v.Data.substr(0, v.Data.size() - 1));
    if (v.Type == kRegInteger && v.Data.size() == 4) {
        uint32_t n = 0;
        for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(static_cast<unsigned char>(v.Data[i])) << (8 * i);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return buf;
    }
    std::string out = "hex(" + std::to_string(v.Type) + "):";
    for (size_t i = 0; i < v.Data.size(); ++i) {
        const auto u = static_cast<unsigned char>(v.Data[i]);
        if (i > 0) out += ',';
        out += kHexDigits[u >> 4];
        out += kHexDigits[u & 15];
    }
    return out;
}

bool StartsWith(const std::string& s, size_t pos, const char* prefix, size_t& after)
{
    const std::string p(prefix);
    if (s.compare(pos, p.size(), p) != 0) return false;
    after = pos + p.size();
    return true;
}

bool ParseValue(const std::string& line, size_t pos, TStoredValue& v)
{
    size_t at = 0;
    std::string text;
    if (StartsWith(line, pos, "sz:", at) || StartsWith(line, pos, "expand_sz:", at)) {
        v.Type = line[pos] == 's' ? kRegString : kRegExpandString;
        if (!Unquote(line, at, text) || at != line.size()) return false;
        v.Data = text + '\0';
        return true;
    }
    if (StartsWith(line, pos, "dword:", at)) {
        if (line.size() - at != 8) return false;
        uint32_t n = 0;
        for (size_t i = at; i < line.size(); ++i) {
            const int h = HexValue(line[i]);
            if (h < 0) return false;
            n = n * 16 + static_cast<uint32_t>(h);
        }
        v.Type = kRegInteger;
        v.Data.clear();
        for (int i = 0; i < 4; ++i) v.Data += static_cast<char>((n >> (8 * i)) & 0xFF);
        return true;
    }
    if (StartsWith(line, pos, "hex(", at)) {
        const size_t close = line.find("):", at);
        if (close == std::string::npos || close == at || close - at > 10) return false;
        int64_t type = 0;
        for (size_t i = at; i < close; ++i) {
            if (line[i] < '0' || line[i] > '9') return false;
            type = type * 10 + (line[i] - '0');
        }
        if (type > INT32_MAX) return false;
        v.Type = static_cast<int32_t>(type);
        v.Data.clear();
        for (size_t i = close + 2; i < line.size();) {
            if (line.size() - i < 2) return false;
            const int hi = HexValue(line[i]), lo = HexValue(line[i + 1]);
            if (hi < 0 || lo < 0) return false;
            v.Data += static_cast<char>(hi * 16 + lo);
            i += 2;
            if (i < line.size() && line[i++] != ',') return false;
        }
        return true;
    }
    return false;
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(w);
    }
    return true;
}

// mkdir -p for the folder part of `fileName`, private to the user.
bool MakeParentFolders(const std::string& fileName)
{
    for (size_t slash = fileName.find('/', 1); slash != std::string::npos; slash = fileName.find('/', slash + 1)) {
        const std::string dir = fileName.substr(0, slash);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

TFileSettingsStore::TFileSettingsStore(std::string fileName) : FFileName(std::move(fileName)) {}

std::string TFileSettingsStore::DefaultFileName()
{
    // XDG Base Directory: a relative or empty XDG_CONFIG_HOME is to be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/Zidovez/Zorezaz.conf";
}

std::string TFileSettingsStore::Format(const tKeys& keys)
{
    std::string out = "; Zorezaz settings\n";
    for (const auto& [key, values] : keys) {
        out += "\n[" + key + "]\n";
        for (const auto& [name, value] : values) out += Quote(name) + "=" + FormatValue(value) + "\n";
    }
    return out;
}

TFileSettingsStore::tKeys TFileSettingsStore::Parse(const std::string& text)
{
    tKeys keys;
    std::string key;
    bool inKey = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            keys[key];
            inKey = true;
            continue;
        }
        size_t pos = 0;
        std::string name;
        TStoredValue value;
        if (!inKey || !Unquote(line, pos, name) || pos >= line.size() || line[pos] != '=') continue;
        if (ParseValue(line, pos + 1, value)) keys[key][name] = value;
    }
    return keys;
}

bool TFileSettingsStore::OpenKey(const std::string& keyPath)
{
    FOpen = false;
    if (!MakeParentFolders(FFileName)) return false;
    FKeys.clear();
    const int fd = ::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        std::string text;
        char buf[4096];
        ssize_t r;
        while ((r = ::read(fd, buf, sizeof buf)) != 0) {
            if (r < 0) {
                if (errno == EINTR) continue;
                ::close(fd);
                return false;
            }
            text.append(buf, static_cast<size_t>(r));
        }
        ::close(fd);
        FKeys = Parse(text);
    } else if (errno != ENOENT) {
        return false;
    }
    FKey = keyPath;
    FKeys[FKey];
    FOpen = true;
    return true;
}

std::optional<TStoredValue> TFileSettingsStore::QueryValue(const std::string& name)
{
    if (!FOpen) return std::nullopt;
    return FindStoredValue(FKeys[FKey], name);
}

bool TFileSettingsStore::SetValue(const std::string& name, const TStoredValue& value)
{
    if (!FOpen) return false;
    const std::optional<TStoredValue> previous = FindStoredValue(FKeys[FKey], name);
    FKeys[FKey][name] = value;
    if (Save()) return true;
    // Keep memory and file telling the same story.
    if (previous) FKeys[FKey][name] = *previous;
    else FKeys[FKey].erase(name);
    return false;
}

void TFileSettingsStore::CloseKey()
{
    FOpen = false;
}

bool TFileSettingsStore::Save() const
{
    // Readers see the old file or the new one, never a half-written one.
    std::string temp = FFileName + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, Format(FKeys)) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), FFileName.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}
