// The debug console's own words, in the language the program runs in
// (support/uitexts.h). The log it shows stays English: it is for whoever
// reads the search's steps, and a report quoted from it must read the same
// everywhere.
#ifndef CORVIN_CONSOLE_TEXTS_H
#define CORVIN_CONSOLE_TEXTS_H

#include "support/uitexts.h"

namespace console_texts {

inline constexpr const char *kSection = "DEBUG_CONSOLE_TEXTS";

inline constexpr UiText kTitle{kSection, "Title", "Debug console"};
// "&" marks the button's access key.
inline constexpr UiText kCopy{kSection, "Copy", "&Copy log"};
inline constexpr UiText kCopyTip{kSection, "CopyTip", "Copy the whole log to the clipboard"};
inline constexpr UiText kSave{kSection, "Save", "&Save log..."};
inline constexpr UiText kSaveTip{kSection, "SaveTip", "Save the whole log to a text file"};
// The save dialog's and its error pop-up's title, and its file types.
inline constexpr UiText kSaveTitle{kSection, "SaveTitle", "Save log"};
inline constexpr UiText kFileTypes{kSection, "FileTypes", "Text files (*.txt);;All files (*)"};
inline constexpr UiText kNoFileName{kSection, "NoFileName", "no file name"};

inline constexpr const UiText *kAll[] = {&kTitle,   &kCopy,      &kCopyTip,   &kSave,
                                         &kSaveTip, &kSaveTitle, &kFileTypes, &kNoFileName};

} // namespace console_texts

#endif
