#include "serial/DisplayProtocol.h"

namespace tarvik {

namespace {

constexpr uint8_t kFormFeed = 0x0C;
constexpr uint8_t kCarriageReturn = 0x0D;

bool IsPrintable(uint8_t c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

void CDisplayParser::Parse(const std::string& bytes, const ReportFn& report) {
    for (char ch : bytes) {
        const auto c = static_cast<uint8_t>(ch);
        if (c == kFormFeed || c == kCarriageReturn) {
            // A field cut short by a new start is dropped unreported.
            nameText_.clear();
            nameCount_ = 0;
            nameCounting_ = true;
            continue;
        }
        if (!nameCounting_) continue;
        if (IsPrintable(c)) nameText_.push_back(ch);
        if (nameCount_ == kFieldLength - 1) {
            nameCounting_ = false;
            nameCount_ = 0;
            // Copied out first: the report may run arbitrary code, including another Parse.
            const std::string name = nameText_;
            if (report) report(name);
        } else {
            ++nameCount_;
        }
    }
}

bool CLastReportedName::Report(const std::string& name, const std::function<void(const std::string&)>& fire,
                               const std::function<void(const std::string&)>& show) {
    if (!IsNew(name)) return false;
    // Copied: `name` may refer to our own last_ via a callback chain.
    const std::string copy = name;
    if (fire) fire(copy);
    if (show) show(copy);
    last_ = copy;
    return true;
}

}  // namespace tarvik
