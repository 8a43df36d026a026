#include "ui/AboutDialog.h"

#include <array>
#include <cstdio>
#include <map>

#include "settings/MessageBox.h"
#include "ui/DialogTemplate.h"
#include "ui/PropertySheet.h"

namespace tarvik {
namespace {

const DialogTemplate& AboutTemplate() {
    static const DialogTemplate dialog{
        100,
        "About Tarvik",
        148,
        86,
        "MS Sans Serif",
        10,
        {
            {kNoControlId, ControlKind::Bitmap, ":/art/bitmap133.png", 90, 5, 51, 51, kClientEdge},
            {1149, ControlKind::Static, "App Description", 10, 10, 70, 8, kCentered},
            {1146, ControlKind::Static, "App Version", 10, 21, 70, 8, kCentered | kNoPrefix},
            {1147, ControlKind::Static, "Copyright", 10, 32, 70, 8, kCentered | kNoPrefix},
            {1148, ControlKind::Static, "Company", 10, 43, 70, 8, kCentered | kNoPrefix},
            {IDC_OK, ControlKind::Button, "OK", 5, 61, 137, 20, kDefaultButton | kStaticEdge | kTabStop},
            {kNoControlId, ControlKind::Frame, "", 5, 5, 80, 52, kEtchedFrame | kClientEdge},
        }};
    return dialog;
}

std::string FormatVersion(const std::string& text) {
    std::array<uint16_t, 4> parts{};
    if (!ParseVersionNumbers(text, parts)) return std::string();
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    return formatted;
}

}  // namespace

CAboutDialog::CAboutDialog(const std::string& modulePath, QWidget* owner) : QDialog(owner), modulePath_(modulePath) {
    ReadVersionValue("FileDescription");
    m_strDescription = m_strValueBuffer;
    m_strVersion = "Version " + m_strFileVersion;
    ReadVersionValue("CompanyName");
    m_strCompany = m_strValueBuffer;
    ReadVersionValue("LegalCopyright");
    m_strLegal = m_strValueBuffer;

    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildDialog(*this, AboutTemplate());
    CDataExchange dx(*this, false);
    DoDataExchange(dx);
}

void CAboutDialog::ReadVersionValue(const char* name) {
    std::map<std::string, std::string> values;
    if (!ReadVersionData(modulePath_, values)) return;
    m_strFileVersion = FormatVersion(values["FileVersion"]);
    m_strProductVersion = FormatVersion(values["ProductVersion"]);
    // A missing value leaves the last one read in the buffer.
    if (auto found = values.find(name); found != values.end()) m_strValueBuffer = found->second;
}

void CAboutDialog::DoDataExchange(CDataExchange& dx) {
    dx.Text(1149, m_strDescription);
    dx.Text(1146, m_strVersion);
    dx.Text(1148, m_strCompany);
    dx.Text(1147, m_strLegal);
}

int CAboutDialog::DoModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

}  // namespace tarvik
