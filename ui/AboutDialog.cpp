#include "ui/AboutDialog.h"

#include <array>
#include <cstdio>
#include <map>

#include "settings/MessageBox.h"
#include "ui/DialogTemplate.h"
#include "ui/PropertySheet.h"

namespace tarvik {
namespace {

const DialogTemplate& aboutTemplate() {
    static const DialogTemplate dialog{
        100,
        "About Tarvik",
        148,
        86,
        "MS Sans Serif",
        10,
        {
            {NoControlId, ControlKind::Bitmap, ":/art/bitmap133.png", 90, 5, 51, 51, ClientEdge},
            {1149, ControlKind::Static, "App Description", 10, 10, 70, 8, Centered},
            {1146, ControlKind::Static, "App Version", 10, 21, 70, 8, Centered | NoPrefix},
            {1147, ControlKind::Static, "Copyright", 10, 32, 70, 8, Centered | NoPrefix},
            {1148, ControlKind::Static, "Company", 10, 43, 70, 8, Centered | NoPrefix},
            {ControlOk, ControlKind::Button, "OK", 5, 61, 137, 20, DefaultButton | StaticEdge | TabStop},
            {NoControlId, ControlKind::Frame, "", 5, 5, 80, 52, EtchedFrame | ClientEdge},
        }};
    return dialog;
}

std::string formatVersion(const std::string& text) {
    std::array<uint16_t, 4> parts{};
    if (!parseVersionNumbers(text, parts)) return std::string();
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    return formatted;
}

}  // namespace

AboutDialog::AboutDialog(const std::string& modulePath, QWidget* owner) : QDialog(owner), m_modulePath(modulePath) {
    readVersionValue("FileDescription");
    m_description = m_valueBuffer;
    m_version = "Version " + m_fileVersion;
    readVersionValue("CompanyName");
    m_company = m_valueBuffer;
    readVersionValue("LegalCopyright");
    m_legal = m_valueBuffer;

    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    buildDialog(*this, aboutTemplate());
    DataExchange dx(*this, false);
    doDataExchange(dx);
}

void AboutDialog::readVersionValue(const char* name) {
    std::map<std::string, std::string> values;
    if (!readVersionData(m_modulePath, values)) return;
    m_fileVersion = formatVersion(values["FileVersion"]);
    m_productVersion = formatVersion(values["ProductVersion"]);
    // A missing value leaves the last one read in the buffer.
    if (auto found = values.find(name); found != values.end()) m_valueBuffer = found->second;
}

void AboutDialog::doDataExchange(DataExchange& dx) {
    dx.text(1149, m_description);
    dx.text(1146, m_version);
    dx.text(1148, m_company);
    dx.text(1147, m_legal);
}

int AboutDialog::doModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

}  // namespace tarvik
