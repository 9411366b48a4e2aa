// A dialog built from its template: widgets placed in dialog units, found by control id.
#pragma once

#include "ui/DialogTemplate.h"

#include <QDialog>
#include <QFont>
#include <QMap>
#include <QRect>

class CTemplateDialog : public QDialog
{
    Q_OBJECT

public:
    // child: the dialog is a borderless child (a page); otherwise a top-level dialog.
    CTemplateDialog(int templateId, QWidget* parent, bool child = false);

    // Builds the widgets and calls OnInitDialog once; false when the template is missing.
    bool Create();
    int TemplateId() const { return m_templateId; }
    const DialogTemplate* Template() const { return m_template; }

    QWidget* GetDlgItem(int id) const { return m_items.value(id, nullptr); }
    template <class W> W* Item(int id) const { return qobject_cast<W*>(GetDlgItem(id)); }
    void SetDlgItemText(int id, const QString& text);
    QString GetDlgItemText(int id) const;

    // Dialog units to pixels with this dialog's font, as the system converts them.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;
    QSize BaseUnits() const { return m_base; }

    // All templates of the program, read once from the resources.
    static const DialogTemplates& Templates();
    // The font a template's face and size stand for on this desktop.
    static QFont DialogFont(const DialogTemplate& t);

protected:
    virtual bool OnInitDialog() { return true; }
    // A button of the template was clicked (ids 1 and 2 go to OnOK and OnCancel).
    virtual void OnCommand(int id) { Q_UNUSED(id); }
    virtual void OnOK() { accept(); }
    virtual void OnCancel() { QDialog::reject(); }
    void reject() override { OnCancel(); }

private:
    QWidget* CreateControl(const ControlTemplate& c);

    int m_templateId;
    bool m_child;
    const DialogTemplate* m_template = nullptr;
    QSize m_base{6, 13};
    QMap<int, QWidget*> m_items;
};
