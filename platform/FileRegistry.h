// A small registry of keys and named text values kept in one file under the user's config folder:
// where the plug-in registers its class and the host finds the library by ProgID.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

class FileRegistry
{
public:
    // $VELTRONA_REGISTRY, else $XDG_CONFIG_HOME/veltrona/registry (or ~/.config/veltrona/registry).
    static std::string DefaultPath();

    // Loads the file; a missing file is an empty registry, an unreadable one an error.
    bool Load(const std::string& path, std::string* error = nullptr);
    // Writes all keys atomically (a temporary file renamed over the old one).
    bool Save(std::string* error = nullptr) const;

    // Keys are paths with backslashes, compared without regard to case, as the system's are.
    void CreateKey(const std::string& key);
    bool KeyExists(const std::string& key) const;
    // Removes the key and everything below it.
    void DeleteKey(const std::string& key);
    void SetValue(const std::string& key, const std::string& name, const std::string& value);
    // name "" is the key's default value.
    std::optional<std::string> GetValue(const std::string& key, const std::string& name = {}) const;
    std::vector<std::string> SubKeys(const std::string& key) const;

    // Runs a registration script (the resource-script form with HKCR, NoRemove, ForceRemove, val and
    // "= s" values); %MODULE% stands for the module's path. unregister removes what the script adds.
    bool RunScript(const std::string& script, const std::map<std::string, std::string>& replacements,
                   bool unregister, std::string* error = nullptr);

private:
    static std::string Normal(const std::string& key);
    struct Key
    {
        std::string name; // as first written
        std::map<std::string, std::string> values;
    };
    std::map<std::string, Key> m_keys; // by normalised path
    std::string m_path;
};
