#include "support/uitexts.h"

#include <map>
#include <utility>

namespace {

using Key = std::pair<std::string, std::string>;

std::map<Key, std::string> &Translations() {
    static std::map<Key, std::string> translations;
    return translations;
}

} // namespace

const char *UiTextOf(const UiText &text) {
    const auto &all = Translations();
    auto it = all.find(Key(text.section, text.key));
    return it == all.end() ? text.english : it->second.c_str();
}

std::string UiTextWith(const UiText &text, std::string_view value) {
    std::string out = UiTextOf(text);
    for (size_t at = out.find("%1"); at != std::string::npos; at = out.find("%1", at)) {
        out.replace(at, 2, value);
        at += value.size();
    }
    return out;
}

int ApplyUiTexts(const LangFile &file, std::span<const UiText *const> texts) {
    int given = 0;
    for (const UiText *t : texts) {
        std::optional<std::string> value = file.ReadText(t->section, t->key);
        // An empty item is an untranslated one, not a request to blank a
        // button or a pop-up.
        if (!value || value->empty())
            continue;
        Translations()[Key(t->section, t->key)] = std::move(*value);
        ++given;
    }
    return given;
}

void ExportUiTexts(std::span<const UiText *const> texts, LangFileWriter *writer) {
    for (const UiText *t : texts)
        writer->AddText(t->section, t->key, UiTextOf(*t));
}

void ResetUiTexts() {
    Translations().clear();
}
