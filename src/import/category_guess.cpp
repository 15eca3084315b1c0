#include "import/category_guess.h"

#include "framework/text.h"
#include "framework/utf8.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tessaly {

namespace {

constexpr std::size_t kWordWidth = 20;
constexpr std::array<std::string_view, 11> kLittleWords = {
    "HOW", "WHERE", "WHEN", "WHAT", "WHICH", "FTP", "HTTP", "THE", "AND", "IF", "A"};

// A letter has two letter-case forms; blanks, digits and punctuation do not.
bool isLetter(char32_t cp)
{
    std::string one;
    utf8::append(one, cp);
    return text::upper(one) != text::lower(one);
}

} // namespace

std::string guessCategory(std::string_view textIn)
{
    const std::string_view source = text::clip(textIn);
    std::vector<std::string> words; // in the order they appear
    std::string word;
    for (std::size_t pos = 0; pos <= source.size();) {
        char32_t cp = 0;
        if (pos < source.size()) {
            cp = utf8::decode(source, pos);
        } else {
            ++pos;
        }
        if (cp != 0 && isLetter(cp)) {
            utf8::append(word, cp);
            continue;
        }
        if (!word.empty()) {
            words.push_back(std::string{utf8::prefix(text::upper(word), kWordWidth)});
            word.clear();
        }
    }
    if (words.empty()) {
        return {};
    }
    // Longest first; among words of one length, the one met first.
    std::vector<std::string> byLength = words;
    std::stable_sort(byLength.begin(), byLength.end(),
                     [](const std::string& a, const std::string& b) {
                         return utf8::length(a) > utf8::length(b);
                     });
    std::string chosen = byLength.back();
    for (const std::string& candidate : byLength) {
        if (std::find(kLittleWords.begin(), kLittleWords.end(), candidate) == kLittleWords.end()) {
            chosen = candidate;
            break;
        }
    }
    const std::string lower = text::lower(chosen);
    std::size_t firstEnd = 0;
    utf8::decode(lower, firstEnd);
    return text::upper(lower.substr(0, firstEnd)) + lower.substr(firstEnd);
}

} // namespace tessaly
