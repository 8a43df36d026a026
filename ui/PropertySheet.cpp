#include "ui/PropertySheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings/MessageBox.h"

namespace tarvik {

PropertyPage::PropertyPage(const DialogTemplate& dialogTemplate) : m_template(dialogTemplate) {
    // Sized before its controls exist, so the sheet fits its largest page from the start.
    const DluBase base = measureDluBase(templateFont(dialogTemplate));
    setFixedSize(base.map(0, 0, dialogTemplate.width, dialogTemplate.height).size());
}

void PropertyPage::createWindow() {
    if (m_created) return;
    m_created = true;
    buildDialog(*this, m_template);
    onInitDialog();
}

void PropertyPage::updateData(bool saveAndValidate) {
    if (!m_created) return;
    DataExchange dx(*this, saveAndValidate);
    doDataExchange(dx);
}

PropertySheet::PropertySheet(const std::string& caption, QWidget* owner)
    : QDialog(owner),
      m_tabs(new QTabWidget(this)) {
    setWindowTitle(QString::fromStdString(caption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { onOk(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) { onTabChanged(index); });
}

void PropertySheet::addPage(PropertyPage& page) {
    m_pages.push_back(&page);
    m_tabs->addTab(&page, QString::fromUtf8(page.dialogTemplate().caption));
}

PropertyPage* PropertySheet::getPage(int index) const {
    return index >= 0 && index < getPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

void PropertySheet::setActivePage(int index) {
    if (getPage(index) != nullptr) m_tabs->setCurrentIndex(index);
}

int PropertySheet::doModal() {
    m_running = true;
    onTabChanged(m_tabs->currentIndex());
    const int result = exec() == QDialog::Accepted ? IDOK : IDCANCEL;
    m_running = false;
    return result;
}

void PropertySheet::onTabChanged(int index) {
    // Before the sheet runs, the pages are still being given their values.
    if (!m_running || index == m_active) return;
    // The page left keeps what was entered on it.
    if (PropertyPage* left = getActivePage()) left->updateData(true);
    m_active = index;
    if (PropertyPage* page = getActivePage()) page->createWindow();
}

void PropertySheet::onOk() {
    if (PropertyPage* page = getActivePage()) page->updateData(true);
    accept();
}

}  // namespace tarvik
