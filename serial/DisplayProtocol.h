#pragma once
// The Display Port text: the instrument announces the current instrument's name as the twelve
// bytes that follow a form feed or carriage return. Only the printable ones form the name.
#include <cstdint>
#include <functional>
#include <string>

namespace tarvik {

class DisplayParser {
public:
    using ReportFn = std::function<void(const std::string& name)>;

    static constexpr int32_t FieldLength = 12;

    // Handles every byte of `bytes` in order and calls `report` with each name whose field is
    // complete. A field may span any number of calls.
    void parse(const std::string& bytes, const ReportFn& report);

    const std::string& nameText() const { return m_nameText; }
    int32_t nameCount() const { return m_nameCount; }
    bool nameCounting() const { return m_nameCounting; }

private:
    std::string m_nameText;   // printable bytes of the current field so far
    int32_t m_nameCount = 0;  // bytes of the current field seen so far, 0..11
    bool m_nameCounting = false;
};

// The last name told to clients and shown, so a name the instrument repeats is reported once.
class LastReportedName {
public:
    // True when `name` differs from the last one kept (byte-wise, case-sensitive).
    bool isNew(const std::string& name) const { return name != m_last; }
    void keep(const std::string& name) { m_last = name; }
    const std::string& last() const { return m_last; }

    // For a new name: `fire` (clients hear first), then `show`, then keep it. Returns whether the
    // name was new. Either callback may be empty.
    bool report(const std::string& name, const std::function<void(const std::string&)>& fire,
                const std::function<void(const std::string&)>& show);

private:
    std::string m_last;  // empty at start, so an empty first name changes nothing
};

}  // namespace tarvik
