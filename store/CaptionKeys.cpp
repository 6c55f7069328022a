#include "store/CaptionKeys.h"

#include <algorithm>

namespace kavenra {

std::vector<CaptionKey> AllCaptionKeys() {
    std::vector<CaptionKey> keys(kWindowTranslationKeys.begin(), kWindowTranslationKeys.end());
    keys.insert(keys.end(), kShownTextKeys.begin(), kShownTextKeys.end());
    keys.insert(keys.end(), kTerminalTextKeys.begin(), kTerminalTextKeys.end());
    return keys;
}

bool IsKnownCaptionKey(int form, std::string_view key) {
    const CaptionKey wanted{form, key};
    const auto matches = [&wanted](const CaptionKey& known) { return known == wanted; };
    return std::any_of(kWindowTranslationKeys.begin(), kWindowTranslationKeys.end(), matches) ||
           std::any_of(kShownTextKeys.begin(), kShownTextKeys.end(), matches) ||
           std::any_of(kTerminalTextKeys.begin(), kTerminalTextKeys.end(), matches);
}

}  // namespace kavenra
