#pragma once
// The program's texts and setting names, by their string-table ids (101 to 138).
#include <cstdint>
#include <string>

namespace tarvik {

enum StringId : uint32_t {
    StringAboutbox = 101,
    StringProgramName = 102,
    StringRegistryKey = 103,
    StringPropertiesCaption = 106,
    StringCommsError = 107,
    StringMacroTextFirst = 108,     // 108..115: default macro texts
    StringMacroCaptionFirst = 116,  // 116..123: default macro captions
    StringMainPosX = 124,
    StringMainPosY = 125,
    StringMainVisible = 126,
    StringDisplayPort = 127,
    StringMergePort = 129,
    StringMainFloat = 131,
    StringMainRemPosition = 132,
    StringMainStart = 133,
    StringMousePosition = 134,
    StringDirectxFailure = 135,
    StringShutdown = 136,
    StringBaud = 137,
    StringMouseSpeed = 138,
};

// Loads string `id` into `text`; false (and `text` untouched) when the table has no such entry.
bool tryLoadString(uint32_t id, std::string& text);

// The text of `id`, or an empty text when the table has no such entry.
std::string loadString(uint32_t id);

}  // namespace tarvik
