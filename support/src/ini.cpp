#include "support/ini.h"

#include "ini_internal.h"
#include "support/textutil.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

using corvin_ini::IniItem;
using corvin_ini::IniSection;

namespace {

constexpr size_t kMaxLine = 1024;    // longest line read or written, line end excluded
constexpr size_t kChunkLength = 80;  // longer values are written in pieces
constexpr size_t kMaxKey = 255;      // key of a one-line item
constexpr size_t kMaxPieceKey = 246; // key before " Line%04d"

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

IniSection *FindSection(IniStore store, const char *name) {
    for (IniSection &s : store->sections)
        if (SameName(s.name, name))
            return &s;
    return nullptr;
}

IniItem *FindItem(IniStore store, const char *section, const char *key) {
    IniSection *s = FindSection(store, section);
    if (!s)
        return nullptr;
    for (IniItem &item : s->items)
        if (SameName(item.key, key))
            return &item;
    return nullptr;
}

// --- Escaping ---------------------------------------------------------------

std::string Escape(const char *text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    if (!text)
        return out;
    for (const char *p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void Unescape(const std::string &in, std::string *out) {
    out->clear();
    out->reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c != '\\' || i + 1 == in.size()) {
            *out += c; // a lone backslash at the end is kept as it stands
            continue;
        }
        char n = in[++i];
        switch (n) {
        case 'n':
            *out += '\n';
            break;
        case 'r':
            *out += '\r';
            break;
        case 't':
            *out += '\t';
            break;
        case 'x':
            if (i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
                *out += static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
                i += 2;
            } else {
                *out += 'x';
            }
            break;
        default:
            *out += n;
        }
    }
}

// --- Piece keys ("<key> Line0001") ------------------------------------------

// Returns 0 when key is not a piece key, 1 for piece number one, 2 for any
// other number. *baseLength receives the length of the key before " Line".
int PieceKind(const std::string &key, size_t *baseLength) {
    size_t at = key.find(" Line");
    if (at == std::string::npos)
        return 0;
    size_t d = at + 5;
    if (d == key.size())
        return 0;
    for (size_t i = d; i < key.size(); ++i)
        if (key[i] < '0' || key[i] > '9')
            return 0;
    *baseLength = at;
    while (d + 1 < key.size() && key[d] == '0')
        ++d;
    return (d + 1 == key.size() && key[d] == '1') ? 1 : 2;
}

// Joins each run of piece items into its first item, in one pass.
void RejoinPieces(IniSection &section) {
    std::vector<IniItem> &items = section.items;
    size_t out = 0;
    bool inRun = false;
    for (size_t i = 0; i < items.size(); ++i) {
        size_t base = 0;
        int kind = PieceKind(items[i].key, &base);
        if (kind == 2 && inRun) {
            items[out - 1].value += items[i].value;
            continue;
        }
        inRun = kind == 1;
        if (inRun)
            items[i].key.resize(base);
        if (out != i)
            items[out] = std::move(items[i]);
        ++out;
    }
    items.resize(out);
}

// --- Reading ----------------------------------------------------------------

class Reader {
  public:
    explicit Reader(IniStoreRec &store) : store_(store), firstNew_(store.sections.size()) {}

    void Feed(const char *data, size_t length) {
        for (size_t i = 0; i < length; ++i) {
            char c = data[i];
            if (bomMatched_ >= 0) {
                static const char bom[] = "\xEF\xBB\xBF";
                if (c == bom[bomMatched_]) {
                    if (++bomMatched_ == 3)
                        bomMatched_ = -1;
                    continue;
                }
                ReplayBom();
            }
            if (pairWith_ && c == pairWith_) {
                pairWith_ = 0;
                continue;
            }
            pairWith_ = 0;
            const unsigned char u = static_cast<unsigned char>(c);
            if ((u < 0x20 && c != '\r' && c != '\n' && c != '\t' && c != '\v' && c != '\f') ||
                u == 0x7f) {
                foreign_ = true; // never written by the store, which escapes them
                lineForeign_ = lineForeign_ || c != '\0';
            }
            if (c == '\r' || c == '\n' || c == '\0') {
                EndLine();
                if (c == '\r')
                    pairWith_ = '\n';
                else if (c == '\n')
                    pairWith_ = '\r';
                continue;
            }
            started_ = true;
            // One byte past the limit is kept to see whether the cut falls
            // inside a multi-byte sequence.
            if (line_.size() <= kMaxLine)
                line_ += c;
        }
    }

    void Finish() {
        if (bomMatched_ > 0)
            ReplayBom();
        if (started_)
            EndLine();
        if (!pending_.empty() && store_.trailer.empty())
            store_.trailer = std::move(pending_);
        for (size_t s = firstNew_; s < store_.sections.size(); ++s)
            RejoinPieces(store_.sections[s]);
    }

    // The text had bytes or lines that the store drops for good.
    bool Unparsed() const { return foreign_ || (sawText_ && usefulLines_ == 0); }

  private:
    void ReplayBom() {
        static const char bom[] = "\xEF\xBB\xBF";
        int n = bomMatched_;
        bomMatched_ = -1;
        if (n > 0) {
            line_.append(bom, static_cast<size_t>(n));
            started_ = true;
        }
    }

    void EndLine() {
        size_t n = Utf8SafePrefix(line_.data(), line_.size(), kMaxLine);
        Classify(std::string_view(line_.data(), n));
        line_.clear();
        started_ = false;
        lineForeign_ = false;
    }

    void Classify(std::string_view whole) {
        std::string_view s = whole;
        while (!s.empty() && IsSpace(s.front()))
            s.remove_prefix(1);
        sawText_ = sawText_ || !Trim(s).empty();
        if (!s.empty() && s.front() == ';') {
            // Binary junk that happens to start with ';' is no comment: the
            // file is copied aside whole (KeepUnparsedIniCopy), and the
            // rewritten one must not carry it on.
            if (lineForeign_)
                return;
            ++usefulLines_;
            if (!pending_.empty())
                pending_ += "\r\n";
            pending_.append(whole);
            return;
        }
        if (!s.empty() && s.front() == '[') {
            size_t close = s.rfind(']');
            if (close == std::string_view::npos || close == 0 || !Trim(s.substr(close + 1)).empty())
                return OtherLine();
            IniSection section;
            section.name = std::string(Trim(s.substr(1, close - 1)));
            section.comment = std::move(pending_);
            pending_.clear();
            store_.sections.push_back(std::move(section));
            ++usefulLines_;
            current_ = store_.sections.size() - 1;
            haveCurrent_ = true;
            sectionRead_ = true;
            return;
        }
        size_t eq = s.find('=');
        if (eq == std::string_view::npos)
            return OtherLine();
        std::string_view key = Trim(s.substr(0, eq));
        std::string_view value = Trim(s.substr(eq + 1));
        if (key.empty() || value.empty())
            return OtherLine();
        if (!haveCurrent_) {
            pending_.clear();
            return;
        }
        IniItem item;
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
            item.quoted = true;
        }
        item.key = std::string(key);
        item.value = std::string(value);
        item.comment = std::move(pending_);
        pending_.clear();
        store_.sections[current_].items.push_back(std::move(item));
        ++usefulLines_;
    }

    void OtherLine() {
        if (!pending_.empty() && !sectionRead_ && store_.header.empty()) {
            store_.header = std::move(pending_);
            pending_.clear();
        }
    }

    IniStoreRec &store_;
    size_t firstNew_;
    std::string line_;
    std::string pending_;
    bool started_ = false;
    char pairWith_ = 0;
    int bomMatched_ = 0; // -1 once the start of the text is past
    bool sectionRead_ = false;
    bool haveCurrent_ = false;
    size_t current_ = 0;
    bool foreign_ = false;     // control bytes, zero bytes included
    bool lineForeign_ = false; // this line has control bytes (not its line end)
    bool sawText_ = false;
    size_t usefulLines_ = 0; // comments, sections and items kept
};

// --- Writing ----------------------------------------------------------------

// Cuts text to maxBytes without splitting a multi-byte sequence, then drops
// trailing white space: reading would drop it anyway, and keeping it would
// make the written file read back differently from what was written.
std::string_view CutName(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    text = text.substr(0, Utf8SafePrefix(text.data(), text.size(), maxBytes));
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

void AppendItemLine(std::string &out, std::string_view key, std::string_view value, bool quoted) {
    size_t room = kMaxLine - key.size() - 3 - (quoted ? 2 : 0);
    value = value.substr(0, Utf8SafePrefix(value.data(), value.size(), room));
    out.append(key);
    out += " = ";
    if (quoted)
        out += '"';
    out.append(value);
    if (quoted)
        out += '"';
    out += "\r\n";
}

void AppendItem(std::string &out, const IniItem &item) {
    if (!item.comment.empty()) {
        out += item.comment;
        out += "\r\n";
    }
    std::string_view value = item.value;
    if (value.size() <= kChunkLength) {
        AppendItemLine(out, CutName(item.key, kMaxKey), value, item.quoted);
        return;
    }
    // Long values go out in pieces, always quoted: reading trims white space
    // at both ends of every line, so an unquoted piece that began or ended
    // with a space would lose it.
    std::string_view base = CutName(item.key, kMaxPieceKey);
    char number[16];
    for (int piece = 1; !value.empty(); ++piece) {
        size_t n = Utf8SafePrefix(value.data(), value.size(), kChunkLength);
        if (n == 0)
            n = value.size() < kChunkLength ? value.size() : kChunkLength;
        std::snprintf(number, sizeof number, " Line%04d", piece);
        std::string key(base);
        key += number;
        AppendItemLine(out, key, value.substr(0, n), true);
        value.remove_prefix(n);
    }
}

std::string FormatText(const IniStoreRec &store) {
    std::string out;
    if (!store.header.empty()) {
        out += store.header;
        out += "\r\n\r\n";
    }
    for (const IniSection &s : store.sections) {
        if (!s.comment.empty()) {
            out += s.comment;
            out += "\r\n";
        }
        out += '[';
        out.append(CutName(s.name, kMaxLine - 2));
        out += "]\r\n";
        for (const IniItem &item : s.items)
            AppendItem(out, item);
        out += "\r\n";
    }
    if (!store.trailer.empty()) {
        out += store.trailer;
        out += "\r\n";
    }
    return out;
}

// --- Put helpers ------------------------------------------------------------

int Put(IniStore store, const char *section, const char *key, std::string value, bool quoted) {
    if (!store || !section || !key)
        return INI_NULL_ARGUMENT;
    try {
        IniItem item;
        item.key = std::string(Trim(key));
        item.value = std::move(value);
        item.quoted = quoted;
        IniSection *s = FindSection(store, section);
        if (!s) {
            IniSection fresh;
            fresh.name = std::string(Trim(section));
            fresh.items.push_back(std::move(item));
            store->sections.push_back(std::move(fresh));
            return INI_OK;
        }
        std::vector<IniItem> &items = s->items;
        size_t out = 0;
        size_t firstRemoved = SIZE_MAX;
        for (size_t i = 0; i < items.size(); ++i) {
            if (SameName(items[i].key, key)) {
                if (firstRemoved == SIZE_MAX)
                    firstRemoved = out;
                continue;
            }
            if (out != i)
                items[out] = std::move(items[i]);
            ++out;
        }
        items.resize(out);
        if (firstRemoved == SIZE_MAX)
            items.push_back(std::move(item));
        else
            items.insert(items.begin() + static_cast<long>(firstRemoved), std::move(item));
        return INI_OK;
    } catch (const std::bad_alloc &) {
        return INI_OUT_OF_MEMORY;
    }
}

} // namespace

// --- Shared with the file handling -------------------------------------------

bool corvin_ini::ParseIniText(IniStoreRec &store, const char *data, size_t length) {
    Reader reader(store);
    reader.Feed(data, length);
    reader.Finish();
    return reader.Unparsed();
}

std::string corvin_ini::FormatStore(const IniStoreRec &store) {
    return FormatText(store);
}

// --- Public interface -------------------------------------------------------

IniStore CreateIniStore(int sorting) {
    IniStore store = new (std::nothrow) IniStoreRec;
    if (store)
        store->sorting = sorting;
    return store;
}

void DisposeIniStore(IniStore store) {
    delete store;
}

int ReadIniMemory(IniStore store, const char *data, size_t length) {
    if (!store || (!data && length))
        return INI_NULL_ARGUMENT;
    try {
        corvin_ini::ParseIniText(*store, data, length);
        return INI_OK;
    } catch (const std::bad_alloc &) {
        return INI_OUT_OF_MEMORY;
    }
}

std::string FormatIniText(IniStore store) {
    if (!store)
        return std::string();
    return FormatText(*store);
}

int HasSection(IniStore store, const char *section) {
    return store && section && FindSection(store, section) ? 1 : 0;
}

int RemoveSection(IniStore store, const char *section) {
    if (!store || !section)
        return 0;
    for (auto it = store->sections.begin(); it != store->sections.end(); ++it) {
        if (SameName(it->name, section)) {
            store->sections.erase(it);
            return 1;
        }
    }
    return 0;
}

int HasKey(IniStore store, const char *section, const char *key) {
    if (!store || !section || !key)
        return INI_NULL_ARGUMENT;
    return FindItem(store, section, key) ? 1 : 0;
}

int PutInteger(IniStore store, const char *section, const char *key, int32_t value) {
    try {
        return Put(store, section, key, std::to_string(value), false);
    } catch (const std::bad_alloc &) {
        return INI_OUT_OF_MEMORY;
    }
}

int PutText(IniStore store, const char *section, const char *key, const char *text) {
    try {
        return Put(store, section, key, Escape(text), true);
    } catch (const std::bad_alloc &) {
        return INI_OUT_OF_MEMORY;
    }
}

int PutRawText(IniStore store, const char *section, const char *key, const char *text) {
    try {
        return Put(store, section, key, text ? std::string(text) : std::string(), true);
    } catch (const std::bad_alloc &) {
        return INI_OUT_OF_MEMORY;
    }
}

int PutBinary(IniStore store, const char *section, const char *key, const void *bytes,
              size_t length) {
    if (!bytes && length)
        return INI_NULL_ARGUMENT;
    try {
        return Put(store, section, key,
                   EncodeBinaryText(static_cast<const unsigned char *>(bytes), length), true);
    } catch (const std::bad_alloc &) {
        return INI_OUT_OF_MEMORY;
    }
}

int GetInteger(IniStore store, const char *section, const char *key, int32_t *value) {
    if (!store || !section || !key || !value)
        return INI_NULL_ARGUMENT;
    const IniItem *item = FindItem(store, section, key);
    if (!item)
        return 0;
    std::string_view s = item->value;
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    if (i == s.size())
        return 0;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-')
        negative = s[i++] == '-';
    size_t digits = i;
    long long magnitude = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        magnitude = magnitude * 10 + (s[i++] - '0');
        if (magnitude > 2147483648LL)
            return INI_INVALID_INTEGER;
    }
    if (i == digits)
        return INI_INVALID_INTEGER;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    if (i != s.size())
        return INI_INVALID_INTEGER;
    long long v = negative ? -magnitude : magnitude;
    if (v > INT32_MAX)
        return INI_INVALID_INTEGER;
    *value = static_cast<int32_t>(v);
    return 1;
}

int GetText(IniStore store, const char *section, const char *key, char *buffer, int bufferSize) {
    if (!buffer || bufferSize < 1)
        return INI_NULL_ARGUMENT;
    buffer[0] = '\0';
    const char *text = nullptr;
    int found = GetTextView(store, section, key, &text);
    if (found == 1)
        CopyTextN(buffer, static_cast<size_t>(bufferSize), text, std::strlen(text));
    return found;
}

int GetTextView(IniStore store, const char *section, const char *key, const char **text) {
    if (!store || !section || !key || !text)
        return INI_NULL_ARGUMENT;
    store->result.clear();
    *text = store->result.c_str();
    const IniItem *item = FindItem(store, section, key);
    if (!item)
        return 0;
    try {
        Unescape(item->value, &store->result);
    } catch (const std::bad_alloc &) {
        store->result.clear();
        *text = store->result.c_str();
        return INI_OUT_OF_MEMORY;
    }
    *text = store->result.c_str();
    return 1;
}

int GetRawText(IniStore store, const char *section, const char *key, const char **text) {
    if (!store || !section || !key || !text)
        return INI_NULL_ARGUMENT;
    *text = "";
    const IniItem *item = FindItem(store, section, key);
    if (!item)
        return 0;
    *text = item->value.c_str();
    return 1;
}

int GetBinary(IniStore store, const char *section, const char *key, unsigned char **bytes,
              size_t *length) {
    if (!bytes || !length)
        return INI_NULL_ARGUMENT;
    *bytes = nullptr;
    *length = 0;
    const char *raw = nullptr;
    int found = GetRawText(store, section, key, &raw);
    if (found != 1)
        return found;
    try {
        std::string decoded;
        if (!DecodeBinaryText(raw, &decoded))
            return INI_OUT_OF_MEMORY;
        auto *block = static_cast<unsigned char *>(std::malloc(decoded.size() + 1));
        if (!block)
            return INI_OUT_OF_MEMORY;
        std::memcpy(block, decoded.data(), decoded.size());
        *bytes = block;
        *length = decoded.size();
        return 1;
    } catch (const std::bad_alloc &) {
        return INI_OUT_OF_MEMORY;
    }
}

int GetNumSections(IniStore store) {
    return store ? static_cast<int>(store->sections.size()) : 0;
}

const char *GetSectionName(IniStore store, int index) {
    if (!store || index < 0 || static_cast<size_t>(index) >= store->sections.size())
        return nullptr;
    return store->sections[static_cast<size_t>(index)].name.c_str();
}

int GetNumItems(IniStore store, const char *section) {
    if (!store || !section)
        return 0;
    const IniSection *s = FindSection(store, section);
    return s ? static_cast<int>(s->items.size()) : 0;
}

const char *GetItemKey(IniStore store, const char *section, int index) {
    if (!store || !section || index < 0)
        return nullptr;
    const IniSection *s = FindSection(store, section);
    if (!s || static_cast<size_t>(index) >= s->items.size())
        return nullptr;
    return s->items[static_cast<size_t>(index)].key.c_str();
}

std::string EncodeBinaryText(const unsigned char *bytes, size_t length) {
    std::string out;
    if (!bytes)
        return out;
    out.reserve((length + 2) / 3 * 4);
    auto put = [&out](unsigned v) { out += static_cast<char>('0' + v); };
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        unsigned b0 = bytes[i], b1 = bytes[i + 1], b2 = bytes[i + 2];
        put((b0 >> 6) << 4 | (b1 >> 6) << 2 | (b2 >> 6));
        put(b0 & 63);
        put(b1 & 63);
        put(b2 & 63);
    }
    if (length - i == 1) {
        unsigned b0 = bytes[i];
        put((b0 >> 6) << 4);
        put(b0 & 63);
    } else if (length - i == 2) {
        unsigned b0 = bytes[i], b1 = bytes[i + 1];
        put((b0 >> 6) << 4 | (b1 >> 6) << 2);
        put(b0 & 63);
        put(b1 & 63);
    }
    return out;
}

bool DecodeBinaryText(const char *text, std::string *bytes) {
    if (!text || !bytes)
        return false;
    size_t length = std::strlen(text);
    if (length % 4 == 1)
        return false;
    bytes->clear();
    bytes->reserve(length / 4 * 3 + 2);
    for (size_t i = 0; i < length; i += 4) {
        size_t group = length - i < 4 ? length - i : 4;
        unsigned v[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < group; ++k) {
            unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (c < '0' || c > '0' + 63)
                return false;
            v[k] = c - '0';
        }
        for (size_t k = 1; k < group; ++k) {
            unsigned high = (v[0] >> (6 - 2 * k)) & 3; // bits of byte k-1
            *bytes += static_cast<char>(high << 6 | v[k]);
        }
    }
    return true;
}
