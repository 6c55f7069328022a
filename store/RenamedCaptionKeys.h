#pragma once

#include <array>
#include <string_view>

#include "store/CaptionKeys.h"

// The options dialog's newer controls once carried designer numbers as names, and their texts'
// keys with them. Language databases made or edited by users before the controls were renamed
// keep those texts under the former keys: a lookup that finds no row under a key's present name
// reads the row under its former name.

namespace kavenra {

struct RenamedCaptionKey {
    int form;
    std::string_view key;        // the name the program looks up now
    std::string_view formerKey;  // the name older language databases hold the text under
};

inline constexpr std::array<RenamedCaptionKey, 13> kRenamedCaptionKeys = {{
    {kOptionsDialogForm, "saveAsGroup", "GroupBox7"},
    {kOptionsDialogForm, "saveAsGroupHint", "GroupBox7Hint"},
    {kOptionsDialogForm, "saveAsOriginalButton", "RadioButton19"},
    {kOptionsDialogForm, "webpQualityLabel", "Label9"},
    {kOptionsDialogForm, "webpLosslessBox", "CheckBox1"},
    {kOptionsDialogForm, "fastJpegDecodingBox", "CheckBox2"},
    {kOptionsDialogForm, "moreChoicesGroup", "GroupBox9"},
    {kOptionsDialogForm, "noEnlargeBox", "CheckBox3"},
    {kOptionsDialogForm, "fitWithinBox", "CheckBox4"},
    {kOptionsDialogForm, "keepDatesBox", "CheckBox5"},
    {kOptionsDialogForm, "subfoldersBox", "CheckBox6"},
    {kOptionsDialogForm, "removeLocationBox", "CheckBox7"},
    {kOptionsDialogForm, "sizeBudgetBox", "CheckBox8"},
}};

// The former name of `key` of `form`; empty for a key that kept its name.
constexpr std::string_view FormerCaptionKey(int form, std::string_view key) {
    for (const RenamedCaptionKey& renamed : kRenamedCaptionKeys) {
        if (renamed.form == form && renamed.key == key) return renamed.formerKey;
    }
    return {};
}

}  // namespace kavenra
