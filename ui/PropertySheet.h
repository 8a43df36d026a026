#pragma once
// A modal sheet of tabbed pages, each page built from its own template. A page's controls are
// made when its tab is first shown, so a page never shown exchanges nothing and returns exactly
// the values it was given. Values go from a page's controls to its fields when the page is left
// and when the sheet is confirmed, never on Cancel.
#include <string>
#include <vector>

#include <QDialog>
#include <QWidget>

#include "ui/DataExchange.h"
#include "ui/DialogTemplate.h"

class QTabWidget;

namespace tarvik {

inline constexpr int IDCANCEL = 2;

class CPropertyPage : public QWidget {
public:
    explicit CPropertyPage(const DialogTemplate& dialogTemplate);

    const DialogTemplate& Template() const { return template_; }
    bool IsCreated() const { return created_; }
    // Makes the controls and runs the page's initialisation, the first time only.
    void Create();
    // false: fields to controls; true: controls to fields.
    void UpdateData(bool saveAndValidate);

protected:
    // Runs once the controls exist; the default shows the fields.
    virtual void OnInitDialog() { UpdateData(false); }
    virtual void DoDataExchange(CDataExchange& dx) { (void)dx; }

private:
    const DialogTemplate& template_;
    bool created_ = false;
};

class CPropertySheet : public QDialog {
public:
    // The sheet belongs to `owner`, above which it stays; none makes it a window of its own.
    explicit CPropertySheet(const std::string& caption, QWidget* owner = nullptr);

    // Pages are the derived sheet's members; a tab shows each, in the order added.
    void AddPage(CPropertyPage& page);
    // Shows the selected page (the first unless set otherwise) and runs the sheet: IDOK or IDCANCEL.
    int DoModal();

    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    CPropertyPage* GetPage(int index) const;
    CPropertyPage* GetActivePage() const { return GetPage(active_); }
    void SetActivePage(int index);
    QTabWidget* GetTabControl() const { return tabs_; }

private:
    void OnTabChanged(int index);
    void OnOK();

    QTabWidget* tabs_;
    std::vector<CPropertyPage*> pages_;
    int active_ = -1;
    bool running_ = false;
};

}  // namespace tarvik
