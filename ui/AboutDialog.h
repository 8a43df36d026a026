#pragma once
// "About Tarvik": the program's description, file version, legal notice and company, read from the
// executable's own version data when the box is made, beside the mouse-mode picture.
#include <string>

#include <QDialog>

#include "res/VersionInfo.h"
#include "ui/DataExchange.h"

namespace tarvik {

class CAboutDialog : public QDialog {
public:
    // Reads the values from the executable at `modulePath`. The box belongs to `owner`, above
    // which it stays.
    explicit CAboutDialog(const std::string& modulePath = ModuleFileName(), QWidget* owner = nullptr);

    int DoModal();

    std::string m_strDescription;
    std::string m_strVersion;
    std::string m_strCompany;
    std::string m_strLegal;
    std::string m_strValueBuffer;  // the last value read
    std::string m_strFileVersion;
    std::string m_strProductVersion;

private:
    void ReadVersionValue(const char* name);
    void DoDataExchange(CDataExchange& dx);

    std::string modulePath_;
};

}  // namespace tarvik
