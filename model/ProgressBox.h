// Progress boxes as the gateway procedures see them: the UI shows a real box, tests record it.
#pragma once

#include "platform/HResult.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

// How the bar of a box advances.
enum class ProgressKind : int
{
    TextOnly = 1, // no bar
    Polling = 2,  // advanced by CheckCancel and by the info setters
    Steps = 3,    // advanced by Step against a set range
    Timer = 4,    // advanced by the box itself
};

// A modeless box with a caption, two info lines, a bar and an optional Cancel button. A text not
// given to Show keeps the one given before; an empty button text hides the button.
class IProgressBox
{
public:
    virtual ~IProgressBox() = default;
    // False when the box cannot be shown; the procedure then goes on without one.
    virtual bool Show(ProgressKind kind, std::optional<std::string> caption, std::optional<std::string> info,
                      std::optional<std::string> info2, std::optional<std::string> button) = 0;
    virtual void SetRange(int range) = 0;
    // Advances the bar and lets the user interface react (the Cancel button among it).
    virtual void Step() = 0;
    // Lets the user interface react and tells whether Cancel was pressed since the box was opened:
    // a Cancel stays until the box is closed, whatever is shown or stepped meanwhile.
    virtual bool CheckCancel() = 0;
    virtual void SetCaption(const std::string& text) = 0;
    virtual void SetInfoText(const std::string& text) = 0;
    virtual void SetInfoText2(const std::string& text) = 0;
    virtual void Close() = 0;
};

// Waits for the bus while the user interface stays alive: the call (a call of the live connection,
// nothing else) may run on another thread; Run returns its result when it is done.
class IBusWait
{
public:
    virtual ~IBusWait() = default;
    virtual HRESULT Run(const std::function<HRESULT()>& call) = 0;
};

// Creates the boxes of the connection's procedures.
class IProgressBoxFactory
{
public:
    virtual ~IProgressBoxFactory() = default;
    virtual std::unique_ptr<IProgressBox> CreateProgressBox() = 0;
};

// A box nobody sees: without a user interface the procedures run unchanged and cannot be cancelled.
// Boxes that only follow some of the texts (on a terminal, in tests) override just those.
class CNullProgressBox : public IProgressBox
{
public:
    bool Show(ProgressKind, std::optional<std::string>, std::optional<std::string>,
              std::optional<std::string>, std::optional<std::string>) override
    {
        return true;
    }
    void SetRange(int) override {}
    void Step() override {}
    bool CheckCancel() override { return false; }
    void SetCaption(const std::string&) override {}
    void SetInfoText(const std::string&) override {}
    void SetInfoText2(const std::string&) override {}
    void Close() override {}
};
