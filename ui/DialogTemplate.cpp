#include "ui/DialogTemplate.h"

#include <algorithm>
#include <cctype>

namespace {

struct Token
{
    enum Kind
    {
        Word,
        Number,
        String,
        Comma,
        Pipe,
        End
    } kind = End;
    std::string text;
    long number = 0;
    int line = 0;
};

class Lexer
{
public:
    explicit Lexer(std::string_view s) : m_s(s) {}

    Token Next()
    {
        SkipBlanks();
        Token t;
        t.line = m_line;
        if (m_i >= m_s.size())
            return t;
        const char c = m_s[m_i];
        if (c == ',') {
            ++m_i;
            t.kind = Token::Comma;
        } else if (c == '|') {
            ++m_i;
            t.kind = Token::Pipe;
        } else if (c == '"') {
            t.kind = Token::String;
            ++m_i;
            while (m_i < m_s.size()) {
                char d = m_s[m_i++];
                if (d == '"') {
                    if (m_i < m_s.size() && m_s[m_i] == '"') { // "" is a quote inside a text
                        t.text += '"';
                        ++m_i;
                        continue;
                    }
                    return t;
                }
                if (d == '\\' && m_i < m_s.size()) {
                    const char e = m_s[m_i++];
                    t.text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                    continue;
                }
                if (d == '\n') {
                    m_error = "line break inside a text";
                    t.kind = Token::End;
                    return t;
                }
                t.text += d;
            }
            m_error = "text without its closing quote";
            t.kind = Token::End;
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
            t.kind = Token::Number;
            std::size_t start = m_i++;
            while (m_i < m_s.size() && std::isalnum(static_cast<unsigned char>(m_s[m_i])))
                ++m_i;
            t.text = std::string(m_s.substr(start, m_i - start));
            try {
                std::size_t used = 0;
                t.number = std::stol(t.text, &used, 0);
                if (used != t.text.size())
                    m_error = "bad number '" + t.text + "'";
            } catch (...) {
                m_error = "bad number '" + t.text + "'";
            }
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            t.kind = Token::Word;
            std::size_t start = m_i;
            while (m_i < m_s.size() &&
                   (std::isalnum(static_cast<unsigned char>(m_s[m_i])) || m_s[m_i] == '_'))
                ++m_i;
            t.text = std::string(m_s.substr(start, m_i - start));
        } else {
            m_error = std::string("unexpected character '") + c + "'";
            ++m_i;
        }
        return t;
    }

    const std::string& Error() const { return m_error; }
    int Line() const { return m_line; }
    // True when the rest of the current line holds nothing but blanks and comments.
    bool AtLineEnd()
    {
        SkipBlanks(false);
        return m_i >= m_s.size() || m_s[m_i] == '\n';
    }

private:
    void SkipBlanks(bool lines = true)
    {
        while (m_i < m_s.size()) {
            const char c = m_s[m_i];
            if (c == '\n') {
                if (!lines)
                    return;
                ++m_line;
                ++m_i;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++m_i;
            } else if (c == '/' && m_i + 1 < m_s.size() && m_s[m_i + 1] == '/') {
                while (m_i < m_s.size() && m_s[m_i] != '\n')
                    ++m_i;
            } else {
                return;
            }
        }
    }

    std::string_view m_s;
    std::size_t m_i = 0;
    int m_line = 1;
    std::string m_error;
};

// The arguments of one statement: the rest of its line, split at commas.
struct Argument
{
    std::vector<Token> tokens; // a style expression has several words joined by '|'
};

bool ReadArguments(Lexer& lexer, std::vector<Argument>& args, std::string& error)
{
    args.clear();
    Argument current;
    while (!lexer.AtLineEnd()) {
        Token t = lexer.Next();
        if (!lexer.Error().empty()) {
            error = lexer.Error();
            return false;
        }
        if (t.kind == Token::Comma) {
            args.push_back(std::move(current));
            current = {};
        } else if (t.kind != Token::Pipe && t.kind != Token::End) {
            current.tokens.push_back(std::move(t));
        }
    }
    if (!current.tokens.empty() || !args.empty())
        args.push_back(std::move(current));
    return true;
}

bool AsNumber(const Argument& a, int& out)
{
    if (a.tokens.size() != 1 || a.tokens[0].kind != Token::Number)
        return false;
    out = static_cast<int>(a.tokens[0].number);
    return true;
}

bool AsText(const Argument& a, std::string& out)
{
    if (a.tokens.size() != 1 || a.tokens[0].kind != Token::String)
        return false;
    out = a.tokens[0].text;
    return true;
}

void AsStyles(const Argument& a, std::vector<std::string>& out)
{
    for (std::size_t i = 0; i < a.tokens.size(); ++i) {
        if (a.tokens[i].kind != Token::Word)
            continue;
        if (a.tokens[i].text == "NOT") {
            ++i; // a style switched off is simply absent
            continue;
        }
        out.push_back(a.tokens[i].text);
    }
}

const std::vector<std::string> kTextControls = {
    "LTEXT",        "CTEXT",    "RTEXT",           "PUSHBUTTON",  "DEFPUSHBUTTON", "GROUPBOX",
    "AUTOCHECKBOX", "CHECKBOX", "AUTORADIOBUTTON", "RADIOBUTTON", "STATE3",        "AUTO3STATE"};
const std::vector<std::string> kPlainControls = {"EDITTEXT", "COMBOBOX", "LISTBOX", "SCROLLBAR"};

} // namespace

bool ControlTemplate::HasStyle(std::string_view style) const
{
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}

bool DialogTemplate::HasStyle(std::string_view style) const
{
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}

const ControlTemplate* DialogTemplate::Control(int controlId) const
{
    for (const ControlTemplate& c : controls)
        if (c.id == controlId)
            return &c;
    return nullptr;
}

const DialogTemplate* DialogTemplates::Find(int id) const
{
    auto it = m_templates.find(id);
    return it == m_templates.end() ? nullptr : &it->second;
}

bool DialogTemplates::Merge(DialogTemplates other, std::string* error)
{
    for (auto& [id, t] : other.m_templates) {
        if (!m_templates.emplace(id, std::move(t)).second) {
            if (error)
                *error = "dialog " + std::to_string(id) + " is defined twice";
            return false;
        }
    }
    return true;
}

std::optional<DialogTemplates> DialogTemplates::Parse(std::string_view script, const std::string& name,
                                                      std::string* error)
{
    DialogTemplates result;
    Lexer lexer(script);
    std::vector<Argument> args;
    std::string why;
    DialogTemplate* current = nullptr;
    bool inBody = false;
    auto fail = [&](int line, const std::string& what) -> std::optional<DialogTemplates> {
        if (error)
            *error = name + ":" + std::to_string(line) + ": " + what;
        return std::nullopt;
    };

    for (;;) {
        Token keyword = lexer.Next();
        if (!lexer.Error().empty())
            return fail(keyword.line, lexer.Error());
        if (keyword.kind == Token::End)
            break;
        if (keyword.kind != Token::Word && keyword.kind != Token::Number)
            return fail(keyword.line, "a statement must start with a keyword");

        // "103 DIALOGEX 0, 0, 579, 322" or "DIALOG 103, 0, 0, 579, 322"
        if (keyword.kind == Token::Number) {
            Token kind = lexer.Next();
            if (kind.kind != Token::Word || (kind.text != "DIALOG" && kind.text != "DIALOGEX"))
                return fail(keyword.line, "expected DIALOG after the dialog id");
            if (!ReadArguments(lexer, args, why))
                return fail(keyword.line, why);
            Argument idArg;
            idArg.tokens.push_back(keyword);
            args.insert(args.begin(), idArg);
            keyword = kind;
        } else if (!ReadArguments(lexer, args, why)) {
            return fail(keyword.line, why);
        }

        const std::string& k = keyword.text;
        if (k == "DIALOG" || k == "DIALOGEX") {
            if (inBody)
                return fail(keyword.line, "DIALOG inside another dialog");
            DialogTemplate t;
            if (args.size() < 5 || !AsNumber(args[0], t.id) || !AsNumber(args[1], t.x) ||
                !AsNumber(args[2], t.y) || !AsNumber(args[3], t.cx) || !AsNumber(args[4], t.cy))
                return fail(keyword.line, "DIALOG needs id, x, y, width, height");
            auto [it, fresh] = result.m_templates.emplace(t.id, std::move(t));
            if (!fresh)
                return fail(keyword.line, "dialog " + std::to_string(it->first) + " is defined twice");
            current = &it->second;
        } else if (!current) {
            return fail(keyword.line, "'" + k + "' outside a dialog");
        } else if (k == "STYLE" || k == "EXSTYLE") {
            if (!args.empty())
                AsStyles(args[0], current->styles);
        } else if (k == "CAPTION") {
            if (args.size() != 1 || !AsText(args[0], current->caption))
                return fail(keyword.line, "CAPTION needs one text");
        } else if (k == "FONT") {
            if (args.size() < 2 || !AsNumber(args[0], current->fontSize) ||
                !AsText(args[1], current->fontFace))
                return fail(keyword.line, "FONT needs a size and a face");
        } else if (k == "BEGIN") {
            inBody = true;
        } else if (k == "END") {
            if (!inBody)
                return fail(keyword.line, "END without BEGIN");
            inBody = false;
            current = nullptr;
        } else if (!inBody) {
            return fail(keyword.line, "unknown dialog statement '" + k + "'");
        } else {
            ControlTemplate c;
            std::size_t next = 0;
            if (k == "CONTROL") {
                // CONTROL "text", id, "class", style, x, y, cx, cy [, exstyle]
                if (args.size() < 8 || !AsText(args[0], c.text) || !AsNumber(args[1], c.id) ||
                    !AsText(args[2], c.kind))
                    return fail(keyword.line, "CONTROL needs text, id, class, style, x, y, width, height");
                AsStyles(args[3], c.styles);
                next = 4;
            } else if (std::find(kTextControls.begin(), kTextControls.end(), k) != kTextControls.end()) {
                c.kind = k;
                if (args.size() < 6 || !AsText(args[0], c.text) || !AsNumber(args[1], c.id))
                    return fail(keyword.line, k + " needs text, id, x, y, width, height");
                next = 2;
            } else if (std::find(kPlainControls.begin(), kPlainControls.end(), k) != kPlainControls.end()) {
                c.kind = k;
                if (args.size() < 5 || !AsNumber(args[0], c.id))
                    return fail(keyword.line, k + " needs id, x, y, width, height");
                next = 1;
            } else {
                return fail(keyword.line, "unknown control '" + k + "'");
            }
            if (!AsNumber(args[next], c.x) || !AsNumber(args[next + 1], c.y) ||
                !AsNumber(args[next + 2], c.cx) || !AsNumber(args[next + 3], c.cy))
                return fail(keyword.line, "bad position of control " + std::to_string(c.id));
            for (std::size_t i = next + 4; i < args.size(); ++i)
                AsStyles(args[i], c.styles);
            current->controls.push_back(std::move(c));
        }
    }
    if (inBody || current)
        return fail(lexer.Line(), "dialog without END");
    return result;
}
