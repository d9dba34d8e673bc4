// Language files: per-object replacement texts for panels, controls, menus
// and menu items, in the INI syntax of ini.h. Parsed from memory; no user
// interface here (ui/localize applies them to live panels).
//
// Each object has a section named after its constant names ("SEARCH_PNL",
// "SEARCH_PNL_LUI_CONNECTION", "CON_MENU_SENSOR_EXIT") with a "Flags" item:
// one byte per string of the object, "v" when the section supplies that
// string. Texts are decoded by the header's CharSet (textcodec.h) and come
// out as UTF-8.
#ifndef CORVIN_LANGFILE_H
#define CORVIN_LANGFILE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/ini.h"

inline constexpr const char *kLangHeaderSection = "LWCVI Language Resource File";
inline constexpr int32_t kLangMagic = -1395807027; // 0xACCDACCD as the store writes it
inline constexpr int kLangVersion = 200;           // what we write
inline constexpr unsigned char kLangFlagSet = 'v';
inline constexpr unsigned char kLangFlagUnset = 'u';

// Codes of the reading steps. Callers see them mapped by LangErrorToResult.
enum LangCode {
    LANG_OK = 0,
    LANG_NO_MEMORY = -1, // also: a header integer that is not an integer
    LANG_NULL_PATH = -2,
    LANG_BAD_HEADER = -3,   // Version or Magic missing, Magic wrong
    LANG_BAD_FLAGS = -4,    // a panel's or menu's Flags missing or not one byte
    LANG_MISSING_NAME = -9, // a flagged Title or Name missing
    LANG_UNREADABLE = -10,
    LANG_CANNOT_OPEN = -11,
};

// What LocalizePanel and LocalizeMenuBar return for those codes.
enum LangResult {
    LANG_RESULT_NO_MEMORY = -12,
    LANG_RESULT_NULL_PATH = -65,
    LANG_RESULT_UNREADABLE = -93,
    LANG_RESULT_CANNOT_OPEN = -94,
    LANG_RESULT_BAD_FILE = -6000,
};
int LangErrorToResult(int code);
// Short words for a result, for messages ("file not found").
const char *LangResultText(int result);

// Localisation kind of a control style (1 tooltip only, 2 label, 3 string,
// 4 text message, 5 two-state, 6 and 7 graphs, 8 list, 9 table, 10 tree,
// 11 tabs); 0 for styles that are not localised.
int LocalizationKindForStyle(int style);

// One string of an object. index/column/sub say which element: the item of a
// list or axis, the column and item (trees: item, column, 0-based) or column
// and row (tables, 1-based) of a cell, the entry of a cell's item list.
enum class LangSlot {
    Title,
    Name,
    Label,
    Tooltip,
    Default,
    On,
    Off,
    AxisName, // index: LangAxis
    AxisItem, // index: LangAxis, sub: item
    ItemLabel,
    ItemValue,
    RowLabel,
    ColLabel,
    Cell,     // index, column as above
    CellItem, // and sub: entry
    TabLabel,
};
enum LangAxis { AXIS_BOTTOM_X, AXIS_TOP_X, AXIS_LEFT_Y, AXIS_RIGHT_Y, AXIS_ANNOTATION, AXIS_X };

struct LangString {
    LangSlot slot = LangSlot::Label;
    int index = 0;
    int column = 0;
    int sub = 0;
    std::string text; // UTF-8

    bool operator==(const LangString &) const = default;
};

// The counts a live control has; elements past them are not applied.
struct LangControlShape {
    int kind = 0;
    int items = 0;      // list items, tree items, table rows
    int itemValues = 0; // items whose value is a string (0 for numeric values)
    int columns = 0;    // tree and table columns
    int tabs = 0;
    int axisItems[6] = {}; // by LangAxis
};

// A parsed language file. Reading a section never changes the file.
class LangFile {
  public:
    LangFile();
    ~LangFile();
    LangFile(const LangFile &) = delete;
    LangFile &operator=(const LangFile &) = delete;

    // Parses data and checks the header. LANG_OK or a LangCode.
    int Parse(std::string_view data);
    // Reads the file at path (non-blocking, regular files, 1 MiB) and parses it.
    int Load(const char *path);

    int version() const { return version_; }
    std::optional<int> charSet() const { return charSet_; }
    int codePage() const { return codePage_; }

    // A panel's "Title" or a menu's "Name" (key). LANG_OK with *text set when
    // the flag is "v", LANG_OK with *text empty when it is not,
    // LANG_BAD_FLAGS or LANG_MISSING_NAME.
    int ReadNamed(const std::string &section, const char *key,
                  std::optional<std::string> *text) const;

    // A control's section. True when the entry is usable; *strings then
    // holds its flagged strings in the order they are applied, limited to
    // what shape has. False leaves the control as it is.
    bool ReadControl(const std::string &section, const LangControlShape &shape,
                     std::vector<LangString> *strings) const;

    // A plain text item (uitexts.h), decoded; nullopt when it is missing.
    std::optional<std::string> ReadText(const std::string &section, const std::string &key) const {
        return Text(section, key);
    }

  private:
    std::optional<std::string> Text(const std::string &section, const std::string &key) const;

    IniStore store_ = nullptr;
    int version_ = 0;
    std::optional<int> charSet_;
    int codePage_ = 0;
};

// Builds a language file with every flag "v", for translators to edit.
class LangFileWriter {
  public:
    void AddNamed(const std::string &section, const char *key, const std::string &text);
    // strings: the control's texts in LangFile::ReadControl order, every
    // element shape has (a missing one is written empty).
    void AddControl(const std::string &section, const LangControlShape &shape,
                    const std::vector<LangString> &strings);
    // One plain text item, added to the section of that name (made when
    // it is new).
    void AddText(const std::string &section, const std::string &key, const std::string &text);
    // The file: Windows-1252 (CharSet 0) when every text has a byte there,
    // else UTF-8 (CharSet 65001). Empty on out of memory.
    std::string Finish() const;

  private:
    enum class ItemKind { Integer, Flags, Text };
    struct Item {
        std::string key;
        ItemKind kind;
        std::string value; // decimal, encoded flags, or UTF-8 text
    };
    struct Section {
        std::string name;
        std::vector<Item> items;
    };
    std::vector<Section> sections_;
};

// Unescapes a stored value like the INI store, but keeps a double-byte
// character whole (its second byte may be a backslash).
std::string UnescapeLangText(std::string_view raw, int codePage);

#endif
