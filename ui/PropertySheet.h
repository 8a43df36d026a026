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

class PropertyPage : public QWidget {
public:
    explicit PropertyPage(const DialogTemplate& dialogTemplate);

    const DialogTemplate& dialogTemplate() const { return m_template; }
    bool isCreated() const { return m_created; }
    // Makes the controls and runs the page's initialisation, the first time only.
    void createWindow();
    // false: fields to controls; true: controls to fields.
    void updateData(bool saveAndValidate);

protected:
    // Runs once the controls exist; the default shows the fields.
    virtual void onInitDialog() { updateData(false); }
    virtual void doDataExchange(DataExchange& dx) { (void)dx; }

private:
    const DialogTemplate& m_template;
    bool m_created = false;
};

class PropertySheet : public QDialog {
public:
    // The sheet belongs to `owner`, above which it stays; none makes it a window of its own.
    explicit PropertySheet(const std::string& caption, QWidget* owner = nullptr);

    // Pages are the derived sheet's members; a tab shows each, in the order added.
    void addPage(PropertyPage& page);
    // Shows the selected page (the first unless set otherwise) and runs the sheet: IDOK or IDCANCEL.
    int doModal();

    int getPageCount() const { return static_cast<int>(m_pages.size()); }
    PropertyPage* getPage(int index) const;
    PropertyPage* getActivePage() const { return getPage(m_active); }
    void setActivePage(int index);
    QTabWidget* getTabControl() const { return m_tabs; }

private:
    void onTabChanged(int index);
    void onOk();

    QTabWidget* m_tabs;
    std::vector<PropertyPage*> m_pages;
    int m_active = -1;
    bool m_running = false;
};

}  // namespace tarvik
