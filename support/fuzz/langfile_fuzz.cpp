// Reads arbitrary bytes as a language file and every section in it as a
// panel, a menu and a control of each kind. What comes out must be UTF-8 and
// within the control's counts, and writing it back must read back the same.
#include "support/ini.h"
#include "support/langfile.h"
#include "support/textcodec.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

LangControlShape ShapeFor(int kind, unsigned seed) {
    LangControlShape s;
    s.kind = kind;
    s.items = static_cast<int>(seed % 4);
    s.columns = static_cast<int>((seed >> 2) % 3);
    s.itemValues = static_cast<int>((seed >> 4) % 2) * s.items;
    s.tabs = static_cast<int>((seed >> 5) % 3);
    for (int a = 0; a < 6; ++a)
        s.axisItems[a] = static_cast<int>((seed >> a) % 2);
    return s;
}

bool Within(const LangString &g, const LangControlShape &s) {
    switch (g.slot) {
    case LangSlot::ItemLabel:
        return g.index < s.items;
    case LangSlot::ItemValue:
        return g.index < s.itemValues;
    case LangSlot::TabLabel:
        return g.index < s.tabs;
    case LangSlot::AxisItem:
        return g.sub < s.axisItems[g.index];
    default:
        return true;
    }
}

void CheckControl(const LangFile &file, const std::string &section, int kind, unsigned seed) {
    LangControlShape shape = ShapeFor(kind, seed);
    std::vector<LangString> strings;
    if (!file.ReadControl(section, shape, &strings)) {
        if (!strings.empty())
            std::abort();
        return;
    }
    for (const LangString &g : strings)
        if (DecodeToUtf8(kCodePageUtf8, g.text) != g.text || !Within(g, shape))
            std::abort();
    LangFileWriter w;
    w.AddControl(section, shape, strings);
    LangFile again;
    if (again.Parse(w.Finish()) != LANG_OK)
        std::abort();
    std::vector<LangString> back;
    if (!again.ReadControl(section, shape, &back))
        std::abort();
    for (const LangString &g : strings) {
        bool found = false;
        for (const LangString &b : back)
            found = found || b == g;
        if (!found)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    LangFile file;
    if (file.Parse(text) != LANG_OK)
        return 0;
    IniStore names = CreateIniStore(0);
    if (names == nullptr || ReadIniMemory(names, text.data(), text.size()) != 0)
        std::abort();
    unsigned seed = size > 0 ? data[0] : 0;
    for (int i = 0; i < GetNumSections(names) && i < 64; ++i) {
        std::string section = GetSectionName(names, i);
        std::optional<std::string> name;
        int r = file.ReadNamed(section, "Title", &name);
        if (r != LANG_OK && r != LANG_BAD_FLAGS && r != LANG_MISSING_NAME)
            std::abort();
        if (name && DecodeToUtf8(kCodePageUtf8, *name) != *name)
            std::abort();
        for (int kind = 1; kind <= 11; ++kind)
            CheckControl(file, section, kind, seed + static_cast<unsigned>(i));
    }
    DisposeIniStore(names);
    return 0;
}
