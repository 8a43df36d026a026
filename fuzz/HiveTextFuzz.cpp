// Random hive file bytes: a hand-edited or damaged settings file must never crash the reader, and
// whatever it takes must come out of a write and a second read unchanged, with no line skipped.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "settings/HiveText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    tarvik::hive::HiveDocument doc("HKEY_CURRENT_USER");
    std::string error;
    if (!tarvik::hive::parseHiveText(bytes, doc, error)) {
        TARVIK_FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string written = tarvik::hive::formatHiveText(doc);
    tarvik::hive::HiveDocument again("HKEY_CURRENT_USER");
    TARVIK_FUZZ_CHECK(tarvik::hive::parseHiveText(written, again, error));
    TARVIK_FUZZ_CHECK(again.skipped.empty());
    TARVIK_FUZZ_CHECK(tarvik::hive::formatHiveText(again) == written);
    return 0;
}
