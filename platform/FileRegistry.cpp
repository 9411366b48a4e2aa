#include "platform/FileRegistry.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char e = s[++i];
            out += e == 't' ? '\t' : e == 'n' ? '\n' : e;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        parts.push_back(
            Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos)
            return parts;
        start = tab + 1;
    }
}

} // namespace

std::string FileRegistry::DefaultPath()
{
    if (const char* p = std::getenv("VELTRONA_REGISTRY"); p && *p)
        return p;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else
        base = std::string(std::getenv("HOME") ? std::getenv("HOME") : ".") + "/.config";
    return base + "/veltrona/registry";
}

std::string FileRegistry::Normal(const std::string& key)
{
    std::string n;
    for (char c : key)
        n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!n.empty() && n.back() == '\\')
        n.pop_back();
    return n;
}

bool FileRegistry::Load(const std::string& path, std::string* error)
{
    m_path = path;
    m_keys.clear();
    std::ifstream in(path);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
            return true;
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        auto parts = Split(line);
        CreateKey(parts[0]);
        if (parts.size() >= 3)
            SetValue(parts[0], parts[1], parts[2]);
    }
    return true;
}

bool FileRegistry::Save(std::string* error) const
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    const std::string temporary = m_path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        if (!out) {
            if (error)
                *error = "cannot write " + temporary;
            return false;
        }
        out << "# Registered classes of the veltrona components\n";
        for (const auto& [n, key] : m_keys) {
            out << Escape(key.name) << '\n';
            for (const auto& [name, value] : key.values)
                out << Escape(key.name) << '\t' << Escape(name) << '\t' << Escape(value) << '\n';
        }
        if (!out.flush()) {
            if (error)
                *error = "cannot write " + temporary;
            return false;
        }
    }
    std::filesystem::rename(temporary, m_path, ec);
    if (ec && error)
        *error = "cannot replace " + m_path + ": " + ec.message();
    return !ec;
}

void FileRegistry::CreateKey(const std::string& key)
{
    // Every key on the path exists too.
    std::size_t at = 0;
    for (;;) {
        at = key.find('\\', at);
        const std::string part = key.substr(0, at);
        if (!part.empty())
            m_keys.try_emplace(Normal(part), Key{part, {}});
        if (at == std::string::npos)
            return;
        ++at;
    }
}

bool FileRegistry::KeyExists(const std::string& key) const
{
    return m_keys.count(Normal(key)) != 0;
}

void FileRegistry::DeleteKey(const std::string& key)
{
    const std::string n = Normal(key);
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it->first == n || it->first.rfind(n + "\\", 0) == 0)
            it = m_keys.erase(it);
        else
            ++it;
    }
}

void FileRegistry::SetValue(const std::string& key, const std::string& name, const std::string& value)
{
    CreateKey(key);
    m_keys[Normal(key)].values[name] = value;
}

std::optional<std::string> FileRegistry::GetValue(const std::string& key, const std::string& name) const
{
    auto it = m_keys.find(Normal(key));
    if (it == m_keys.end())
        return std::nullopt;
    auto v = it->second.values.find(name);
    if (v == it->second.values.end())
        return std::nullopt;
    return v->second;
}

std::vector<std::string> FileRegistry::SubKeys(const std::string& key) const
{
    std::vector<std::string> names;
    const std::string n = Normal(key) + "\\";
    for (const auto& [path, k] : m_keys)
        if (path.rfind(n, 0) == 0 && path.find('\\', n.size()) == std::string::npos)
            names.push_back(k.name.substr(n.size()));
    return names;
}

namespace {

class ScriptReader
{
public:
    ScriptReader(const std::string& text, const std::map<std::string, std::string>& replacements)
    {
        m_text = text;
        for (const auto& [from, to] : replacements)
            for (std::size_t at = m_text.find(from); at != std::string::npos;
                 at = m_text.find(from, at + to.size()))
                m_text.replace(at, from.size(), to);
    }
    // Words, quoted texts ('...'), and the characters { } =.
    std::string Next()
    {
        while (m_i < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_i])))
            ++m_i;
        if (m_i >= m_text.size())
            return {};
        const char c = m_text[m_i];
        if (c == '{' || c == '}' || c == '=') {
            // A brace that opens a class identifier belongs to the word.
            if (c == '{' && m_i + 1 < m_text.size() &&
                std::isxdigit(static_cast<unsigned char>(m_text[m_i + 1])))
                return Word();
            ++m_i;
            return std::string(1, c);
        }
        if (c == '\'') {
            std::size_t end = m_text.find('\'', m_i + 1);
            if (end == std::string::npos) {
                m_error = "text without its closing quote";
                m_i = m_text.size();
                return {};
            }
            std::string quoted(1, '\'');
            quoted.append(m_text, m_i + 1, end - m_i - 1);
            m_i = end + 1;
            return quoted;
        }
        return Word();
    }
    std::string Peek()
    {
        std::size_t keep = m_i;
        std::string t = Next();
        m_i = keep;
        return t;
    }
    const std::string& Error() const { return m_error; }

private:
    std::string Word()
    {
        std::size_t start = m_i;
        while (m_i < m_text.size() && !std::isspace(static_cast<unsigned char>(m_text[m_i])) &&
               m_text[m_i] != '=' && !(m_text[m_i] == '{' && m_i != start) && m_text[m_i] != '}')
            ++m_i;
        if (m_i < m_text.size() && m_text[m_i] == '}' && m_text[start] == '{')
            ++m_i;
        return m_text.substr(start, m_i - start);
    }
    std::string m_text;
    std::size_t m_i = 0;
    std::string m_error;
};

} // namespace

namespace {

struct ScriptKey
{
    std::string name;
    bool noRemove = false, forceRemove = false;
    std::optional<std::string> defaultValue;
    std::map<std::string, std::string> values;
    std::vector<ScriptKey> children;
};

// Reads the keys inside one pair of braces (or the whole script at the top).
bool ParseKeys(ScriptReader& reader, std::vector<ScriptKey>& keys, bool top, std::string& error)
{
    for (;;) {
        std::string t = reader.Next();
        if (!reader.Error().empty()) {
            error = reader.Error();
            return false;
        }
        if (t.empty()) {
            if (!top)
                error = "missing '}'";
            return top;
        }
        if (t == "}") {
            if (top)
                error = "unbalanced '}'";
            return !top;
        }
        if (t == "val") {
            if (keys.empty() && top) {
                error = "val outside a key";
                return false;
            }
            error = "val must follow a key's '{'";
            return false;
        }
        ScriptKey key;
        while (t == "NoRemove" || t == "ForceRemove") {
            (t == "NoRemove" ? key.noRemove : key.forceRemove) = true;
            t = reader.Next();
        }
        if (t.empty() || t == "{" || t == "=" || t == "}") {
            error = "key name expected";
            return false;
        }
        key.name = t;
        if (reader.Peek() == "=") {
            reader.Next();
            const std::string kind = reader.Next(), value = reader.Next();
            if (kind != "s" || value.empty() || value[0] != '\'') {
                error = "the value of " + key.name + " must be = s 'text'";
                return false;
            }
            key.defaultValue = value.substr(1);
        }
        if (reader.Peek() == "{") {
            reader.Next();
            // Named values come first inside the braces.
            while (reader.Peek() == "val") {
                reader.Next();
                const std::string name = reader.Next();
                const std::string eq = reader.Next(), kind = reader.Next(), value = reader.Next();
                if (eq != "=" || kind != "s" || value.empty() || value[0] != '\'') {
                    error = "val " + name + " must be = s 'text'";
                    return false;
                }
                key.values[name] = value.substr(1);
            }
            if (!ParseKeys(reader, key.children, false, error))
                return false;
        }
        keys.push_back(std::move(key));
    }
}

} // namespace

bool FileRegistry::RunScript(const std::string& script,
                             const std::map<std::string, std::string>& replacements, bool unregister,
                             std::string* error)
{
    ScriptReader reader(script, replacements);
    std::vector<ScriptKey> roots;
    std::string why;
    if (!ParseKeys(reader, roots, true, why)) {
        if (error)
            *error = why;
        return false;
    }
    // HKCR is the root of this registry.
    std::function<void(const ScriptKey&, const std::string&)> apply = [&](const ScriptKey& key,
                                                                          const std::string& parent) {
        const bool root = parent.empty() && key.name == "HKCR";
        const std::string path =
            root ? std::string() : (parent.empty() ? key.name : parent + "\\" + key.name);
        if (!unregister && !root) {
            if (key.forceRemove)
                DeleteKey(path);
            CreateKey(path);
            if (key.defaultValue)
                SetValue(path, "", *key.defaultValue);
            for (const auto& [name, value] : key.values)
                SetValue(path, name, value);
        }
        for (const ScriptKey& child : key.children)
            apply(child, path);
        if (unregister && !root && !key.noRemove)
            DeleteKey(path);
    };
    for (const ScriptKey& key : roots)
        apply(key, {});
    return true;
}
