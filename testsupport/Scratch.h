// Scratch files of tests: folders that are removed again, also when a test fails, and whole-file
// reads and writes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace testsupport {

// A folder of its own below the test runner's temporary folder, removed with its contents.
class ScratchDir
{
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::path(::testing::TempDir()) / "veltrona-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
        EXPECT_FALSE(m_path.empty()) << "no scratch folder below " << ::testing::TempDir();
    }
    ~ScratchDir()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// A file in the scratch folder of the whole test program, removed when the program ends.
inline std::string ScratchFile(const std::string& name)
{
    static ScratchDir dir;
    return dir.File(name);
}

inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace testsupport
