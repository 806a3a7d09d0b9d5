#include "find/wildcard.h"

namespace {

char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Greedy glob with one backtrack point: on a mismatch after a "*", let that "*"
// swallow one more byte. Linear in memory, O(mask * name) at worst, no recursion.
bool Glob(std::string_view mask, std::string_view name)
{
    size_t m = 0, n = 0;
    size_t starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask[m] == '?' || Fold(mask[m]) == Fold(name[n]))) {
            ++m;
            ++n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

}  // namespace

bool WildcardMatch(std::string_view mask, std::string_view name)
{
    if (mask.empty()) return false;
    if (Glob(mask, name)) return true;
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*")
        return Glob(mask.substr(0, mask.size() - 2), name);
    return false;
}
