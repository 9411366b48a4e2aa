// The message boxes and file dialogs of the windows, behind one service that tests answer by script.
#pragma once

#include "model/UserPrompt.h"

#include <QString>
#include <QWidget>
#include <functional>

// Shows real message boxes owned by a window.
class CQtPrompt final : public IUserPrompt
{
public:
    explicit CQtPrompt(QWidget* owner = nullptr) : m_owner(owner) {}
    void SetOwner(QWidget* owner) { m_owner = owner; }
    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon icon) override;

private:
    QWidget* m_owner;
};

namespace UiServices {

// The prompt every window asks through; a test installs a scripted one (null restores the boxes).
IUserPrompt& Prompt();
void SetPrompt(IUserPrompt* prompt);

// File dialogs: an empty result means the user cancelled.
using FileDialog = std::function<QString(QWidget* parent, const QString& caption, const QString& filter,
                                         const QString& suggested, bool save)>;
// A name chosen without an extension gets defaultSuffix.
QString AskFile(QWidget* parent, const QString& caption, const QString& filter, const QString& suggested,
                bool save, const QString& defaultSuffix = {});
void SetFileDialog(FileDialog dialog);

} // namespace UiServices
