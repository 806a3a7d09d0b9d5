#include "app/core/error_text.h"

std::string ErrorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
    return message;
}

namespace {
const std::string kParagraph = "\n\n";
}

std::string OneLine(const std::string& message)
{
    std::string out;
    size_t from = 0;
    for (;;) {
        const size_t split = message.find(kParagraph, from);
        std::string part = message.substr(from, split == std::string::npos ? std::string::npos : split - from);
        for (char& c : part)
            if (c == '\n' || c == '\r') c = ' ';
        if (!out.empty()) out += ' ';
        out += ErrorBoxText(part);
        if (split == std::string::npos) return out;
        from = split + kParagraph.size();
    }
}
