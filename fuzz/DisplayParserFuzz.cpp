// Random Display Port text: the parser must never crash, never hold more than one field, report
// only printable names of at most 12 characters, and not care how the text was cut into reads.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "serial/DisplayProtocol.h"

namespace {

using tarvik::DisplayParser;

void CheckState(const DisplayParser& parser) {
    TARVIK_FUZZ_CHECK(parser.nameText().size() <= 12);
    TARVIK_FUZZ_CHECK(parser.nameCount() >= 0 && parser.nameCount() <= 11);
}

void CheckName(const std::string& name) {
    TARVIK_FUZZ_CHECK(name.size() <= 12);
    for (char c : name) TARVIK_FUZZ_CHECK(c >= 0x20 && c <= 0x7E);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One parser for the whole run, as in the program: its state must stay bounded across inputs.
    static DisplayParser longLived;
    static tarvik::LastReportedName last;

    std::string whole;
    const std::vector<std::string> feeds = tarvik::fuzz::SplitIntoFeeds(data, size, whole);

    std::vector<std::string> inOne;
    DisplayParser once;
    once.parse(whole, [&](const std::string& n) { inOne.push_back(n); });
    CheckState(once);

    std::vector<std::string> inPieces;
    DisplayParser pieces;
    for (const std::string& feed : feeds) {
        pieces.parse(feed, [&](const std::string& n) { inPieces.push_back(n); });
        CheckState(pieces);
        longLived.parse(feed, [&](const std::string& n) {
            CheckName(n);
            last.report(n, nullptr, nullptr);
            TARVIK_FUZZ_CHECK(last.last() == n);
        });
        CheckState(longLived);
    }
    TARVIK_FUZZ_CHECK(inOne == inPieces);
    for (const std::string& n : inOne) CheckName(n);
    TARVIK_FUZZ_CHECK(once.nameText() == pieces.nameText());
    return 0;
}
