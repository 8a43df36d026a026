#include "serial/DisplayProtocol.h"

namespace tarvik {

namespace {

constexpr uint8_t FormFeed = 0x0C;
constexpr uint8_t CarriageReturn = 0x0D;

bool isPrintable(uint8_t c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

void DisplayParser::parse(const std::string& bytes, const ReportFn& report) {
    for (char ch : bytes) {
        const auto c = static_cast<uint8_t>(ch);
        if (c == FormFeed || c == CarriageReturn) {
            // A field cut short by a new start is dropped unreported.
            m_nameText.clear();
            m_nameCount = 0;
            m_nameCounting = true;
            continue;
        }
        if (!m_nameCounting) continue;
        if (isPrintable(c)) m_nameText.push_back(ch);
        if (m_nameCount == FieldLength - 1) {
            m_nameCounting = false;
            m_nameCount = 0;
            // Copied out first: the report may run arbitrary code, including another Parse.
            const std::string name = m_nameText;
            if (report) report(name);
        } else {
            ++m_nameCount;
        }
    }
}

bool LastReportedName::report(const std::string& name, const std::function<void(const std::string&)>& fire,
                              const std::function<void(const std::string&)>& show) {
    if (!isNew(name)) return false;
    // Copied: `name` may refer to our own m_last via a callback chain.
    const std::string copy = name;
    if (fire) fire(copy);
    if (show) show(copy);
    m_last = copy;
    return true;
}

}  // namespace tarvik
