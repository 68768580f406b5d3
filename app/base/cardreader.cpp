#include "base/cardreader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <vector>

namespace korvane {

namespace {

std::vector<std::string> lowerCaseWords(const std::string &text)
{
    std::vector<std::string> words(1);
    for (const unsigned char c : text) {
        if (std::isalnum(c))
            words.back() += static_cast<char>(std::tolower(c));
        else if (!words.back().empty())
            words.emplace_back();
    }
    if (words.back().empty())
        words.pop_back();
    return words;
}

} // namespace

bool identifiesAsCardReader(const std::string &model,
                            const std::map<std::string, std::string> &properties)
{
    static constexpr std::array<std::string_view, 7> flags{
        "ID_DRIVE_FLASH_SD",        "ID_DRIVE_FLASH_SDHC",     "ID_DRIVE_FLASH_SDXC",
        "ID_DRIVE_FLASH_SD_COMBO",  "ID_DRIVE_MEDIA_FLASH_SD", "ID_DRIVE_MEDIA_FLASH_SDHC",
        "ID_DRIVE_MEDIA_FLASH_SDXC"};
    for (const std::string_view flag : flags) {
        const auto found = properties.find(std::string(flag));
        if (found != properties.end() && found->second == "1")
            return true;
    }
    static constexpr std::array<std::string_view, 7> cardWords{
        "sd", "sdhc", "sdxc", "microsd", "mmc", "crw", "cardreader"};
    const std::vector<std::string> words = lowerCaseWords(model);
    for (size_t k = 0; k < words.size(); ++k) {
        if (std::find(cardWords.begin(), cardWords.end(), words[k]) != cardWords.end())
            return true;
        if (words[k] == "card" && k + 1 < words.size() && words[k + 1] == "reader")
            return true;
    }
    return false;
}

} // namespace korvane
