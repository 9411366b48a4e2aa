// Base of every parameter page: a borderless child dialog shown in the main window's page area.
#pragma once

#include "ui/MainWindow.h"
#include "ui/TemplateDialog.h"

class CParameterDialog : public CTemplateDialog
{
    Q_OBJECT

public:
    CParameterDialog(int templateId, IMainWindow& main, QWidget* parent = nullptr)
        : CTemplateDialog(templateId, parent, true), m_main(main)
    {}
    IMainWindow& Main() const { return m_main; }
    CEtsDbManagement& Model() const { return *m_main.GetModel(); }

private:
    IMainWindow& m_main;
};

// The page of a node whose page is not there yet: shows the node's name and a short note.
class CDlgPlaceholderPage final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgPlaceholderPage(IMainWindow& main, QString text)
        : CParameterDialog(200, main), m_text(std::move(text))
    {}

protected:
    bool OnInitDialog() override
    {
        SetDlgItemText(270, m_text);
        return true;
    }

private:
    QString m_text;
};

// Shown in place of the test page when the gateway cannot be reached.
class CDlgNoLifeDeviceConnection final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgNoLifeDeviceConnection(IMainWindow& main, QString message)
        : CParameterDialog(231, main), m_message(std::move(message))
    {}

protected:
    bool OnInitDialog() override
    {
        SetDlgItemText(271, m_message);
        return true;
    }

private:
    QString m_message;
};
