#include "engine/ConversionSettings.h"

#include <utility>

namespace kavenra {
namespace {

ConversionSettingsProvider& InstalledProvider() {
    static ConversionSettingsProvider provider;
    return provider;
}

}  // namespace

void SetConversionSettingsProvider(ConversionSettingsProvider provider) {
    InstalledProvider() = std::move(provider);
}

ConversionSettings CurrentConversionSettings() {
    const ConversionSettingsProvider& provider = InstalledProvider();
    return provider ? provider() : ConversionSettings{};
}

}  // namespace kavenra
