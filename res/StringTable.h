#pragma once
// The program's texts and setting names, by their string-table ids (101 to 138).
#include <cstdint>
#include <string>

namespace tarvik {

enum StringId : uint32_t {
    IDS_ABOUTBOX = 101,
    IDS_PROGRAM_NAME = 102,
    IDS_REGISTRY_KEY = 103,
    IDS_PROPERTIES_CAPTION = 106,
    IDS_COMMS_ERROR = 107,
    IDS_MACRO_TEXT_FIRST = 108,     // 108..115: default macro texts
    IDS_MACRO_CAPTION_FIRST = 116,  // 116..123: default macro captions
    IDS_MAIN_POS_X = 124,
    IDS_MAIN_POS_Y = 125,
    IDS_MAIN_VISIBLE = 126,
    IDS_DISPLAY_PORT = 127,
    IDS_MERGE_PORT = 129,
    IDS_MAIN_FLOAT = 131,
    IDS_MAIN_REM_POSITION = 132,
    IDS_MAIN_START = 133,
    IDS_MOUSE_POSITION = 134,
    IDS_DIRECTX_FAILURE = 135,
    IDS_SHUTDOWN = 136,
    IDS_BAUD = 137,
    IDS_MOUSE_SPEED = 138,
};

// Loads string `id` into `text`; false (and `text` untouched) when the table has no such entry.
bool TryLoadString(uint32_t id, std::string& text);

// The text of `id`, or an empty text when the table has no such entry.
std::string LoadString(uint32_t id);

}  // namespace tarvik
