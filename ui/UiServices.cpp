#include "ui/UiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

PromptAnswer CQtPrompt::Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                            PromptIcon icon)
{
    QMessageBox box(m_owner ? m_owner : QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
    case PromptIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case PromptIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case PromptIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case PromptIcon::None:
        break;
    }
    switch (buttons) {
    case PromptButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case PromptButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case PromptButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    default:
        return PromptAnswer::Cancel;
    }
}

namespace {

IUserPrompt* g_prompt = nullptr;
UiServices::FileDialog g_fileDialog;

} // namespace

IUserPrompt& UiServices::Prompt()
{
    static CQtPrompt boxes;
    return g_prompt ? *g_prompt : boxes;
}

void UiServices::SetPrompt(IUserPrompt* prompt)
{
    g_prompt = prompt;
}

QString UiServices::AskFile(QWidget* parent, const QString& caption, const QString& filter,
                            const QString& suggested, bool save, const QString& defaultSuffix)
{
    QString file;
    if (g_fileDialog) {
        file = g_fileDialog(parent, caption, filter, suggested, save);
    } else {
        QFileDialog dialog(parent, caption, suggested, filter);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        // A saving dialog adds the suffix itself, so that it asks about overwriting the file meant.
        if (save)
            dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            file = dialog.selectedFiles().first();
    }
    if (file.isEmpty() || defaultSuffix.isEmpty() || !QFileInfo(file).suffix().isEmpty())
        return file;
    // A file to open keeps its name when it exists as typed.
    const QString withSuffix = file + "." + defaultSuffix;
    return save || (!QFileInfo::exists(file) && QFileInfo::exists(withSuffix)) ? withSuffix : file;
}

void UiServices::SetFileDialog(FileDialog dialog)
{
    g_fileDialog = std::move(dialog);
}
