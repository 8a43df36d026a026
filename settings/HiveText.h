#pragma once
// The hive file format: the registry editor's export text. Reads what the editor writes (the
// "5.00" and "REGEDIT4" headers, UTF-16LE with its byte-order mark, UTF-8 with or without one,
// CRLF or LF) and what a person types; writes UTF-8 with LF line ends.
#include <string>

#include "settings/HiveDocument.h"

namespace tarvik::hive {

// Fills `doc` (which should be empty) from the file's bytes. Lines that cannot be read are
// skipped and listed in doc.skipped; everything else is taken. False, with a reason in `error`,
// only when the bytes are no text at all (a zero byte, cut UTF-16). An empty file is an empty hive.
bool parseHiveText(const std::string& bytes, HiveDocument& doc, std::string& error);

// The file's bytes for `doc`.
std::string formatHiveText(const HiveDocument& doc);

// Whether a key path or value name can be written into the file and read back the same.
bool isStorableName(const std::string& text);

}  // namespace tarvik::hive
