// Progress of long model operations; the UI shows a box, tests record the stages.
#pragma once

#include <string>

class IProgress
{
public:
    virtual ~IProgress() = default;
    virtual void Open(const std::string& title, const std::string& text) = 0;
    virtual void Stage(const std::string& text) = 0;
    virtual void Close() = 0;
};
