#pragma once
// The version data carried inside the executable (readable with `readelf -p .tarvik_version`).
namespace tarvik {

const char* FileVersion();      // "1.1.2.0"
const char* FileDescription();  // "Tarvik"

}  // namespace tarvik
