// Dialog templates as a resource script describes them: size in dialog units, style, font and the
// controls with id, kind, text, position and style flags. Read from the resource files, no toolkit.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ControlTemplate
{
    // The statement keyword (PUSHBUTTON, LTEXT, EDITTEXT, ...) or, for CONTROL, the window class
    // ("SysTreeView32", "msctls_progress32", ...).
    std::string kind;
    std::string text;
    int id = -1;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::vector<std::string> styles; // style names as written, without NOT-ed ones

    bool HasStyle(std::string_view style) const;
};

struct DialogTemplate
{
    int id = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::vector<std::string> styles;
    std::string caption;
    int fontSize = 8;
    std::string fontFace = "MS Sans Serif";
    std::vector<ControlTemplate> controls;

    bool HasStyle(std::string_view style) const;
    const ControlTemplate* Control(int controlId) const;
};

class DialogTemplates
{
public:
    // Parses a resource script; on failure returns nothing and says where and why in error.
    static std::optional<DialogTemplates> Parse(std::string_view script, const std::string& name,
                                                std::string* error);
    bool Merge(DialogTemplates other, std::string* error);

    const DialogTemplate* Find(int id) const;
    std::size_t Count() const { return m_templates.size(); }

private:
    std::map<int, DialogTemplate> m_templates;
};
