#pragma once
// "About Tarvik": the program's description, file version, legal notice and company, read from the
// executable's own version data when the box is made, beside the mouse-mode picture.
#include <string>

#include <QDialog>

#include "res/VersionInfo.h"
#include "ui/DataExchange.h"

namespace tarvik {

class AboutDialog : public QDialog {
public:
    // Reads the values from the executable at `modulePath`. The box belongs to `owner`, above
    // which it stays.
    explicit AboutDialog(const std::string& modulePath = moduleFileName(), QWidget* owner = nullptr);

    int doModal();

    std::string m_description;
    std::string m_version;
    std::string m_company;
    std::string m_legal;
    std::string m_valueBuffer;  // the last value read
    std::string m_fileVersion;
    std::string m_productVersion;

private:
    void readVersionValue(const char* name);
    void doDataExchange(DataExchange& dx);

    std::string m_modulePath;
};

}  // namespace tarvik
