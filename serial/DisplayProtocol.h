#pragma once
// The Display Port text: the instrument announces the current instrument's name as the twelve
// bytes that follow a form feed or carriage return. Only the printable ones form the name.
#include <cstdint>
#include <functional>
#include <string>

namespace tarvik {

class CDisplayParser {
public:
    using ReportFn = std::function<void(const std::string& name)>;

    static constexpr int32_t kFieldLength = 12;

    // Handles every byte of `bytes` in order and calls `report` with each name whose field is
    // complete. A field may span any number of calls.
    void Parse(const std::string& bytes, const ReportFn& report);

    const std::string& NameText() const { return nameText_; }
    int32_t NameCount() const { return nameCount_; }
    bool NameCounting() const { return nameCounting_; }

private:
    std::string nameText_;   // printable bytes of the current field so far
    int32_t nameCount_ = 0;  // bytes of the current field seen so far, 0..11
    bool nameCounting_ = false;
};

// The last name told to clients and shown, so a name the instrument repeats is reported once.
class CLastReportedName {
public:
    // True when `name` differs from the last one kept (byte-wise, case-sensitive).
    bool IsNew(const std::string& name) const { return name != last_; }
    void Keep(const std::string& name) { last_ = name; }
    const std::string& Last() const { return last_; }

    // For a new name: `fire` (clients hear first), then `show`, then keep it. Returns whether the
    // name was new. Either callback may be empty.
    bool Report(const std::string& name, const std::function<void(const std::string&)>& fire,
                const std::function<void(const std::string&)>& show);

private:
    std::string last_;  // empty at start, so an empty first name changes nothing
};

}  // namespace tarvik
