#include "support/langfile.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <unistd.h>

#include "support/boundedfile.h"
#include "support/textcodec.h"

namespace {

// No panel has a list, tree or table this large; a count beyond it is a
// broken entry, and refusing it keeps a hostile file from making us walk
// millions of cells.
constexpr long long kMaxCount = 65535;

// One byte of a "Flags" item: which string it stands for and where that
// string is stored.
struct FlagSlot {
    LangSlot slot = LangSlot::Label;
    int index = 0, column = 0, sub = 0;
    std::string key; // empty: a byte that is read but stands for nothing
    bool required = false;
    bool live = false; // the control has this element
};

// Count items of a control section: from the file when reading, from the
// live control when writing. nullopt: absent.
using CountFn = std::function<std::optional<long long>(const std::string &key)>;

std::string Fmt(const char *format, int a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a);
    return buf;
}
std::string Fmt(const char *format, int a, int b) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

class Layout {
  public:
    // limit: flag bytes the file has (a layout that needs more fails).
    Layout(CountFn count, size_t limit, size_t valueLimit, const LangControlShape &shape)
        : count_(std::move(count)), limit_(limit), valueLimit_(valueLimit), shape_(shape) {}

    bool ok() const { return ok_; }
    std::vector<FlagSlot> flags, valueFlags;

    void Single(LangSlot slot, const char *key, int index = 0) {
        Add({slot, index, 0, 0, key, true, true});
    }
    void Ignored() { Add({LangSlot::Tooltip, 0, 0, 0, "", false, false}); }

    // n elements keyed format % (i + first); live below liveCount. For axis
    // items the axis goes into index and the item into sub.
    void Group(LangSlot slot, int n, const char *format, int liveCount, int axis = -1,
               int first = 0) {
        for (int i = 0; i < n && ok_; ++i) {
            int at = i + first;
            Add({slot, axis < 0 ? at : axis, 0, axis < 0 ? 0 : at, Fmt(format, at), false,
                 i < liveCount});
        }
    }
    void Group(LangSlot slot, const char *countKey, const char *format, int liveCount,
               int axis = -1) {
        Group(slot, Count(countKey), format, liveCount, axis);
    }

    // Cells, each followed by its item list. Trees: Cell(item,column) from 0;
    // tables: Cell(column,row) from 1; columns run inside rows.
    void Cells(bool tree, int rows, int cols) {
        int first = tree ? 0 : 1;
        for (int r = 0; r < rows && ok_; ++r) {
            for (int c = 0; c < cols && ok_; ++c) {
                int a = tree ? r : c + first, b = tree ? c : r + first;
                bool live = r < shape_.items && c < shape_.columns;
                std::string cell = Fmt("Cell(%d,%d)", a, b);
                Add({LangSlot::Cell, a, b, 0, cell, false, live});
                std::optional<long long> k = count_(cell + "_Items");
                if (k && (*k < 0 || *k > kMaxCount))
                    ok_ = false;
                for (int i = 0; k && i < *k && ok_; ++i)
                    Add({LangSlot::CellItem, a, b, i + first, cell + Fmt("_Item%d", i + first),
                         true, live});
            }
        }
    }

    void Values(int n, int liveCount) {
        if (static_cast<size_t>(n) > valueLimit_) {
            ok_ = false;
            return;
        }
        for (int i = 0; i < n; ++i)
            valueFlags.push_back(
                {LangSlot::ItemValue, i, 0, 0, Fmt("ItemVal_%d", i), false, i < liveCount});
    }

    int Count(const char *key) {
        if (!ok_)
            return 0;
        std::optional<long long> n = count_(key);
        if (!n || *n < 0 || *n > kMaxCount) {
            ok_ = false;
            return 0;
        }
        return static_cast<int>(*n);
    }

  private:
    void Add(FlagSlot f) {
        if (flags.size() >= limit_) {
            ok_ = false;
            return;
        }
        flags.push_back(std::move(f));
    }

    CountFn count_;
    size_t limit_, valueLimit_;
    const LangControlShape &shape_;
    bool ok_ = true;
};

// The strings of each kind in "Flags" order.
bool BuildLayout(int kind, int version, const LangControlShape &s, Layout *out) {
    Layout &l = *out;
    bool tooltip = version >= 200; // older files have no tooltip flag
    bool twoX = kind == 6 && version >= 101;
    switch (kind) {
    case 1:
        if (tooltip)
            l.Single(LangSlot::Tooltip, "Tooltip");
        break;
    case 2:
        l.Single(LangSlot::Label, "Label");
        if (tooltip)
            l.Single(LangSlot::Tooltip, "Tooltip");
        break;
    case 3:
        l.Single(LangSlot::Label, "Label");
        l.Single(LangSlot::Default, "Default");
        if (tooltip)
            l.Single(LangSlot::Tooltip, "Tooltip");
        break;
    case 4:
        l.Single(LangSlot::Default, "Default");
        if (tooltip)
            l.Single(LangSlot::Tooltip, "Tooltip");
        break;
    case 5:
        l.Single(LangSlot::Label, "Label");
        l.Single(LangSlot::On, "On");
        l.Single(LangSlot::Off, "Off");
        if (tooltip)
            l.Single(LangSlot::Tooltip, "Tooltip");
        break;
    case 6:
    case 7:
        l.Single(LangSlot::Label, "Label");
        if (twoX) {
            l.Single(LangSlot::AxisName, "BXname", AXIS_BOTTOM_X);
            l.Single(LangSlot::AxisName, "TXname", AXIS_TOP_X);
        } else {
            l.Single(LangSlot::AxisName, "Xname", AXIS_X);
        }
        l.Single(LangSlot::AxisName, "LYname", AXIS_LEFT_Y);
        l.Single(LangSlot::AxisName, "RYname", AXIS_RIGHT_Y);
        l.Single(LangSlot::Tooltip, "Tooltip");
        if (twoX) {
            l.Group(LangSlot::AxisItem, "BXitems", "BXitem_%d", s.axisItems[AXIS_BOTTOM_X],
                    AXIS_BOTTOM_X);
            l.Group(LangSlot::AxisItem, "TXitems", "TXitem_%d", s.axisItems[AXIS_TOP_X],
                    AXIS_TOP_X);
        } else {
            l.Group(LangSlot::AxisItem, "Xitems", "Xitem_%d", s.axisItems[AXIS_X], AXIS_X);
        }
        l.Group(LangSlot::AxisItem, "LYitems", "LYitem_%d", s.axisItems[AXIS_LEFT_Y], AXIS_LEFT_Y);
        l.Group(LangSlot::AxisItem, "RYitems", "RYitem_%d", s.axisItems[AXIS_RIGHT_Y],
                AXIS_RIGHT_Y);
        if (twoX)
            l.Group(LangSlot::AxisItem, "ANNOitems", "ANNOitem_%d", s.axisItems[AXIS_ANNOTATION],
                    AXIS_ANNOTATION);
        break;
    case 8:
        l.Single(LangSlot::Label, "Label");
        if (tooltip)
            l.Single(LangSlot::Tooltip, "Tooltip");
        else
            l.Ignored(); // older files keep the byte but it means nothing
        l.Group(LangSlot::ItemLabel, "NumItemLabels", "ItemLabel_%d", s.items);
        l.Group(LangSlot::ItemValue, "NumItemValues", "ItemVal_%d", s.itemValues);
        break;
    case 9: {
        l.Single(LangSlot::Label, "Label");
        l.Single(LangSlot::Tooltip, "Tooltip");
        int cols = l.Count("Cols"), rows = l.Count("Rows");
        l.Group(LangSlot::RowLabel, rows, "RowLabel_%d", s.items, -1, 1);
        l.Group(LangSlot::ColLabel, cols, "ColLabel_%d", s.columns, -1, 1);
        l.Cells(false, rows, cols);
        break;
    }
    case 10: {
        l.Single(LangSlot::Label, "Label");
        l.Single(LangSlot::Tooltip, "Tooltip");
        int cols = l.Count("Cols"), items = l.Count("Items"), values = l.Count("NumItemValues");
        l.Group(LangSlot::ColLabel, cols, "ColLabel_%d", s.columns);
        l.Cells(true, items, cols);
        if (l.ok())
            l.Values(values, s.itemValues);
        break;
    }
    case 11:
        if (tooltip)
            l.Single(LangSlot::Tooltip, "Tooltip");
        l.Group(LangSlot::TabLabel, "NumTabLabels", "TabLabel_%d", s.tabs);
        break;
    default:
        return false;
    }
    return l.ok();
}

bool IsFixedKind(int kind) {
    return kind >= 1 && kind <= 5;
}

struct StoreHolder {
    IniStore store;
    explicit StoreHolder(IniStore s) : store(s) {}
    ~StoreHolder() { DisposeIniStore(store); }
    StoreHolder(const StoreHolder &) = delete;
    StoreHolder &operator=(const StoreHolder &) = delete;
};

std::optional<std::string> DecodedFlags(IniStore store, const std::string &section,
                                        const char *key) {
    const char *raw = nullptr;
    if (GetRawText(store, section.c_str(), key, &raw) != 1 || raw == nullptr)
        return std::nullopt;
    std::string bytes;
    if (!DecodeBinaryText(raw, &bytes))
        return std::nullopt;
    return bytes;
}

bool HasUtf8Bom(std::string_view data) {
    return data.size() >= 3 && data.substr(0, 3) == "\xEF\xBB\xBF";
}

} // namespace

int LangErrorToResult(int code) {
    switch (code) {
    case -1:
        return LANG_RESULT_NO_MEMORY;
    case -2:
        return LANG_RESULT_NULL_PATH;
    case -3:
    case -4:
    case -9:
        return LANG_RESULT_BAD_FILE;
    case -5:
    case -6:
        return -24;
    case -7:
        return -45;
    case -8:
        return -46;
    case -10:
        return LANG_RESULT_UNREADABLE;
    case -11:
        return LANG_RESULT_CANNOT_OPEN;
    default:
        return code;
    }
}

const char *LangResultText(int result) {
    switch (result) {
    case 0:
        return "applied";
    case LANG_RESULT_NO_MEMORY:
        return "out of memory or a header value that is not a number";
    case LANG_RESULT_NULL_PATH:
        return "no file given";
    case LANG_RESULT_UNREADABLE:
        return "the file cannot be read";
    case LANG_RESULT_CANNOT_OPEN:
        return "the file cannot be opened";
    case LANG_RESULT_BAD_FILE:
        return "not a language file, or a panel or menu entry is missing or broken";
    default:
        return "the user interface refused a text";
    }
}

int LocalizationKindForStyle(int s) {
    auto in = [s](int lo, int hi) { return s >= lo && s <= hi; };
    if (in(380, 398) || s == 410 || in(520, 523))
        return 1;
    if (in(100, 121) || in(126, 131) || in(200, 206) || in(220, 230) || s == 235 || in(240, 242) ||
        in(260, 265) || s == 480 || s == 481 || s == 490 || s == 500 || s == 503)
        return 2;
    if (s == 150 || s == 151 || s == 170 || s == 171)
        return 3;
    if (s == 160)
        return 4;
    if (in(231, 234) || s == 243 || in(280, 285) || s == 288 || s == 289)
        return 5;
    if (s == 440 || s == 441 || s == 450 || s == 451)
        return 6;
    if (s == 460 || s == 461)
        return 7;
    if (in(300, 322) || in(327, 337) || s == 340 || s == 341)
        return 8;
    if (s == 510 || s == 511)
        return 9;
    if (s == 512 || s == 513)
        return 10;
    if (s == 540)
        return 11;
    return 0;
}

std::string UnescapeLangText(std::string_view in, int codePage) {
    auto hex = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (IsLeadByte(codePage, static_cast<unsigned char>(c)) && i + 1 < in.size()) {
            out += c;
            out += in[++i];
            continue;
        }
        if (c != '\\' || i + 1 == in.size()) {
            out += c;
            continue;
        }
        char n = in[++i];
        switch (n) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x':
            if (i + 2 < in.size() && hex(in[i + 1]) >= 0 && hex(in[i + 2]) >= 0) {
                out += static_cast<char>(hex(in[i + 1]) * 16 + hex(in[i + 2]));
                i += 2;
            } else {
                out += 'x';
            }
            break;
        default:
            out += n;
        }
    }
    return out;
}

// ---- reading ----------------------------------------------------------------

LangFile::LangFile() = default;

LangFile::~LangFile() {
    DisposeIniStore(store_);
}

int LangFile::Parse(std::string_view data) {
    DisposeIniStore(store_);
    store_ = CreateIniStore(0);
    if (store_ == nullptr)
        return LANG_NO_MEMORY;
    int r = ReadIniMemory(store_, data.data(), data.size());
    if (r == INI_OUT_OF_MEMORY)
        return LANG_NO_MEMORY;
    if (r != INI_OK)
        return LANG_UNREADABLE;

    int32_t value = 0;
    r = GetInteger(store_, kLangHeaderSection, "Version", &value);
    if (r < 0)
        return LANG_NO_MEMORY;
    if (r == 0)
        return LANG_BAD_HEADER;
    version_ = value;
    r = GetInteger(store_, kLangHeaderSection, "Magic", &value);
    if (r < 0)
        return LANG_NO_MEMORY;
    if (r == 0 || value != kLangMagic)
        return LANG_BAD_HEADER;
    charSet_.reset();
    r = GetInteger(store_, kLangHeaderSection, "CharSet", &value);
    if (r < 0)
        return LANG_NO_MEMORY;
    if (r == 1)
        charSet_ = value;
    // An editor that saved the file as UTF-8 with a byte-order mark leaves
    // no doubt about the encoding, whatever CharSet still says.
    if (HasUtf8Bom(data))
        codePage_ = kCodePageUtf8;
    else
        codePage_ = charSet_ ? CodePageForCharSet(*charSet_) : kCodePageWindows1252;
    return LANG_OK;
}

int LangFile::Load(const char *path) {
    if (path == nullptr)
        return LANG_NULL_PATH;
    std::string data;
    int r = ReadBoundedFile(path, kBoundedFileLargeLimit, &data, nullptr);
    if (r == BOUNDED_FILE_MISSING)
        return LANG_CANNOT_OPEN;
    if (r != BOUNDED_FILE_OK)
        return access(path, R_OK) != 0 ? LANG_CANNOT_OPEN : LANG_UNREADABLE;
    return Parse(data);
}

std::optional<std::string> LangFile::Text(const std::string &section,
                                          const std::string &key) const {
    const char *raw = nullptr;
    if (GetRawText(store_, section.c_str(), key.c_str(), &raw) != 1 || raw == nullptr)
        return std::nullopt;
    return DecodeToUtf8(codePage_, UnescapeLangText(raw, codePage_));
}

int LangFile::ReadNamed(const std::string &section, const char *key,
                        std::optional<std::string> *text) const {
    text->reset();
    std::optional<std::string> flags = DecodedFlags(store_, section, "Flags");
    if (!flags || flags->size() != 1)
        return LANG_BAD_FLAGS;
    if (static_cast<unsigned char>((*flags)[0]) != kLangFlagSet)
        return LANG_OK;
    *text = Text(section, key);
    return *text ? LANG_OK : LANG_MISSING_NAME;
}

bool LangFile::ReadControl(const std::string &section, const LangControlShape &shape,
                           std::vector<LangString> *strings) const {
    strings->clear();
    try {
        const char *name = section.c_str();
        if (!HasSection(store_, name))
            return false;
        int32_t type = 0;
        if (GetInteger(store_, name, "Type", &type) != 1 || type != shape.kind)
            return false;
        std::optional<std::string> flags = DecodedFlags(store_, section, "Flags");
        if (!flags)
            return false;
        CountFn count = [&](const std::string &key) -> std::optional<long long> {
            int32_t n = 0;
            if (GetInteger(store_, name, key.c_str(), &n) != 1)
                return std::nullopt;
            return n;
        };
        std::optional<std::string> valueFlags;
        if (shape.kind == 10)
            valueFlags = DecodedFlags(store_, section, "ValueFlags");
        Layout layout(count, flags->size(), valueFlags ? valueFlags->size() : 0, shape);
        if (!BuildLayout(shape.kind, version_, shape, &layout))
            return false;
        if (IsFixedKind(shape.kind) && layout.flags.size() != flags->size())
            return false;

        auto take = [&](const std::vector<FlagSlot> &slots, const std::string &bytes) {
            for (size_t p = 0; p < slots.size(); ++p) {
                const FlagSlot &f = slots[p];
                if (f.key.empty() || static_cast<unsigned char>(bytes[p]) != kLangFlagSet)
                    continue;
                std::optional<std::string> text = Text(section, f.key);
                if (!text) {
                    if (f.required)
                        return false;
                    continue; // just this element stays as it is
                }
                if (f.live)
                    strings->push_back({f.slot, f.index, f.column, f.sub, std::move(*text)});
            }
            return true;
        };
        if (!take(layout.flags, *flags) || (valueFlags && !take(layout.valueFlags, *valueFlags))) {
            strings->clear();
            return false;
        }
        return true;
    } catch (const std::bad_alloc &) {
        strings->clear();
        return false;
    }
}

// ---- writing ------------------------------------------------------------------

void LangFileWriter::AddNamed(const std::string &section, const char *key,
                              const std::string &text) {
    Section s{section, {}};
    s.items.push_back({"Flags", ItemKind::Flags, EncodeBinaryText(&kLangFlagSet, 1)});
    s.items.push_back({key, ItemKind::Text, text});
    sections_.push_back(std::move(s));
}

void LangFileWriter::AddText(const std::string &section, const std::string &key,
                             const std::string &text) {
    for (Section &s : sections_)
        if (s.name == section) {
            s.items.push_back({key, ItemKind::Text, text});
            return;
        }
    sections_.push_back(Section{section, {{key, ItemKind::Text, text}}});
}

void LangFileWriter::AddControl(const std::string &section, const LangControlShape &shape,
                                const std::vector<LangString> &strings) {
    Section s{section, {}};
    s.items.push_back({"Type", ItemKind::Integer, std::to_string(shape.kind)});
    std::vector<Item> counts;
    CountFn count = [&](const std::string &key) -> std::optional<long long> {
        long long n = -1;
        if (key == "NumItemLabels" || key == "Items" || key == "Rows")
            n = shape.items;
        else if (key == "NumItemValues")
            n = shape.itemValues;
        else if (key == "Cols")
            n = shape.columns;
        else if (key == "NumTabLabels")
            n = shape.tabs;
        else if (key == "BXitems")
            n = shape.axisItems[AXIS_BOTTOM_X];
        else if (key == "TXitems")
            n = shape.axisItems[AXIS_TOP_X];
        else if (key == "Xitems")
            n = shape.axisItems[AXIS_X];
        else if (key == "LYitems")
            n = shape.axisItems[AXIS_LEFT_Y];
        else if (key == "RYitems")
            n = shape.axisItems[AXIS_RIGHT_Y];
        else if (key == "ANNOitems")
            n = shape.axisItems[AXIS_ANNOTATION];
        if (n < 0)
            return std::nullopt; // cells have no item lists here
        counts.push_back({key, ItemKind::Integer, std::to_string(n)});
        return n;
    };
    constexpr size_t kNoLimit = std::numeric_limits<size_t>::max();
    Layout layout(count, kNoLimit, kNoLimit, shape);
    if (!BuildLayout(shape.kind, kLangVersion, shape, &layout))
        return;
    for (auto &c : counts)
        s.items.push_back(std::move(c));
    auto flagBytes = [](const std::vector<FlagSlot> &slots) {
        std::string bytes;
        for (const FlagSlot &f : slots)
            bytes += static_cast<char>(f.key.empty() ? kLangFlagUnset : kLangFlagSet);
        return EncodeBinaryText(reinterpret_cast<const unsigned char *>(bytes.data()),
                                bytes.size());
    };
    s.items.push_back({"Flags", ItemKind::Flags, flagBytes(layout.flags)});
    if (shape.kind == 10)
        s.items.push_back({"ValueFlags", ItemKind::Flags, flagBytes(layout.valueFlags)});
    auto texts = [&](const std::vector<FlagSlot> &slots) {
        for (const FlagSlot &f : slots) {
            if (f.key.empty())
                continue;
            std::string text;
            for (const LangString &g : strings)
                if (g.slot == f.slot && g.index == f.index && g.column == f.column &&
                    g.sub == f.sub)
                    text = g.text;
            s.items.push_back({f.key, ItemKind::Text, text});
        }
    };
    texts(layout.flags);
    texts(layout.valueFlags);
    sections_.push_back(std::move(s));
}

std::string LangFileWriter::Finish() const {
    try {
        bool fits = true;
        std::string scratch;
        for (const Section &s : sections_)
            for (const Item &i : s.items)
                if (i.kind == ItemKind::Text && !EncodeWindows1252(i.value, &scratch))
                    fits = false;

        StoreHolder holder(CreateIniStore(0));
        IniStore store = holder.store;
        if (store == nullptr)
            return std::string();
        bool ok = PutInteger(store, kLangHeaderSection, "Version", kLangVersion) == 0 &&
                  PutInteger(store, kLangHeaderSection, "Magic", kLangMagic) == 0 &&
                  PutInteger(store, kLangHeaderSection, "CharSet", fits ? 0 : kCodePageUtf8) == 0;
        for (const Section &s : sections_) {
            const char *name = s.name.c_str();
            for (const Item &i : s.items) {
                if (!ok)
                    break;
                if (i.kind == ItemKind::Integer) {
                    ok = PutInteger(store, name, i.key.c_str(), std::stoi(i.value)) == 0;
                    continue;
                }
                if (i.kind == ItemKind::Flags) {
                    ok = PutRawText(store, name, i.key.c_str(), i.value.c_str()) == 0;
                    continue;
                }
                std::string bytes = i.value;
                if (fits)
                    EncodeWindows1252(i.value, &bytes);
                ok = PutText(store, name, i.key.c_str(), bytes.c_str()) == 0;
            }
        }
        if (!ok)
            return std::string();
        std::string text = fits ? "; Texts in Windows-1252 (CharSet 0). Saved as UTF-8, the file "
                                  "needs CharSet = 65001.\r\n"
                                : "; Texts in UTF-8 (CharSet 65001).\r\n";
        text += "; Translate the texts between double quotes; leave names, counts and Flags as "
                "they are.\r\n\r\n";
        text += FormatIniText(store);
        return text;
    } catch (const std::bad_alloc &) {
        return std::string();
    }
}
