#include "ui/PropertySheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings/MessageBox.h"

namespace tarvik {

CPropertyPage::CPropertyPage(const DialogTemplate& dialogTemplate) : template_(dialogTemplate) {
    // Sized before its controls exist, so the sheet fits its largest page from the start.
    const DluBase base = MeasureDluBase(TemplateFont(dialogTemplate));
    setFixedSize(base.Map(0, 0, dialogTemplate.width, dialogTemplate.height).size());
}

void CPropertyPage::Create() {
    if (created_) return;
    created_ = true;
    BuildDialog(*this, template_);
    OnInitDialog();
}

void CPropertyPage::UpdateData(bool saveAndValidate) {
    if (!created_) return;
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
}

CPropertySheet::CPropertySheet(const std::string& caption, QWidget* owner)
    : QDialog(owner),
      tabs_(new QTabWidget(this)) {
    setWindowTitle(QString::fromStdString(caption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { OnTabChanged(index); });
}

void CPropertySheet::AddPage(CPropertyPage& page) {
    pages_.push_back(&page);
    tabs_->addTab(&page, QString::fromUtf8(page.Template().caption));
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

void CPropertySheet::SetActivePage(int index) {
    if (GetPage(index) != nullptr) tabs_->setCurrentIndex(index);
}

int CPropertySheet::DoModal() {
    running_ = true;
    OnTabChanged(tabs_->currentIndex());
    const int result = exec() == QDialog::Accepted ? IDOK : IDCANCEL;
    running_ = false;
    return result;
}

void CPropertySheet::OnTabChanged(int index) {
    // Before the sheet runs, the pages are still being given their values.
    if (!running_ || index == active_) return;
    // The page left keeps what was entered on it.
    if (CPropertyPage* left = GetActivePage()) left->UpdateData(true);
    active_ = index;
    if (CPropertyPage* page = GetActivePage()) page->Create();
}

void CPropertySheet::OnOK() {
    if (CPropertyPage* page = GetActivePage()) page->UpdateData(true);
    accept();
}

}  // namespace tarvik
