// Message boxes and questions as the model asks them; the UI answers with real boxes, tests by script.
#pragma once

#include <deque>
#include <string>
#include <vector>

enum class PromptButtons
{
    Ok,
    OkCancel,
    YesNo,
};

enum class PromptIcon
{
    None,
    Information,
    Exclamation,
    Error,
    Question,
};

enum class PromptAnswer
{
    Ok,
    Cancel,
    Yes,
    No,
};

class IUserPrompt
{
public:
    virtual ~IUserPrompt() = default;
    virtual PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                             PromptIcon icon) = 0;
};

// Answers from a queue and records every box; with the queue empty it answers No or Cancel,
// the answer that changes nothing.
class ScriptedPrompt final : public IUserPrompt
{
public:
    struct Box
    {
        std::string caption, text;
        PromptButtons buttons;
        PromptIcon icon;
    };

    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon icon) override
    {
        boxes.push_back({caption, text, buttons, icon});
        if (!answers.empty()) {
            PromptAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        switch (buttons) {
        case PromptButtons::Ok:
            return PromptAnswer::Ok;
        case PromptButtons::OkCancel:
            return PromptAnswer::Cancel;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
        }
        return PromptAnswer::Cancel;
    }

    std::deque<PromptAnswer> answers;
    std::vector<Box> boxes;
};
