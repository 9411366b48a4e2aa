#include "exchange/XmlDom.h"

#include "trace/DebugTrace.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

CXmlElementAttribute::~CXmlElementAttribute()
{
    m_strNames.clear();
    m_strValues.clear();
}

int CXmlElementAttribute::add(const std::string& name, std::int32_t value)
{
    return add(name, std::to_string(value));
}

int CXmlElementAttribute::add(const std::string& name, const std::string& value)
{
    if (m_strNames.size() != m_strValues.size())
        return -1;
    m_strNames.push_back(name);
    m_strValues.push_back(value);
    return static_cast<int>(m_strNames.size()) - 1;
}

int CXmlElementAttribute::get(int index, std::string& name, std::string& value) const
{
    if (m_strNames.size() != m_strValues.size() || index < 0 ||
        static_cast<std::size_t>(index) >= m_strNames.size())
        return -1;
    name = m_strNames[static_cast<std::size_t>(index)];
    value = m_strValues[static_cast<std::size_t>(index)];
    return index;
}

CXmlDom::~CXmlDom() = default;

HRESULT CXmlDom::CreateXmlDomDocument()
{
    TRACE_ENTRY();
    m_holder = {};
    m_strSource.clear();
    try {
        m_pDocument = std::make_unique<pugi::xml_document>();
    } catch (const std::bad_alloc&) {
        TRACE_HR(TRACE_ERROR, E_OUTOFMEMORY);
        if (m_pPrompt && !m_strMessage.empty())
            m_pPrompt->Ask("Veltrona", m_strMessage, PromptButtons::Ok, PromptIcon::Error);
        return E_OUTOFMEMORY;
    }
    m_strLoadError.clear();
    return S_OK;
}

XmlNode CXmlDom::Holder()
{
    if (!m_holder)
        m_holder = m_pDocument->append_child(pugi::node_element);
    return m_holder;
}

XmlNode CXmlDom::GetDocumentElement() const
{
    if (!m_pDocument)
        return {};
    for (XmlNode child : m_pDocument->children())
        if (child.type() == pugi::node_element && child != m_holder)
            return child;
    return {};
}

HRESULT CXmlDom::CreateHeader()
{
    TRACE_ENTRY();
    if (!m_pDocument) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    XmlNode declaration = m_pDocument->append_child(pugi::node_declaration);
    if (!declaration) {
        TRACE_HR(TRACE_ERROR, E_FAIL);
        return E_FAIL;
    }
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    return S_OK;
}

HRESULT CXmlDom::CreateElement(const std::string& name, XmlNode& element)
{
    element = {};
    if (!m_pDocument) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    XmlNode holder = Holder();
    element = holder ? holder.append_child(name.c_str()) : XmlNode{};
    if (!element) {
        TRACE_HR_MSG(TRACE_ERROR, E_POINTER, "%s", name.c_str());
        return E_POINTER;
    }
    return S_OK;
}

HRESULT CXmlDom::CreateElement(const std::string& name, const CXmlElementAttribute& attributes,
                               XmlNode& element)
{
    if (HRESULT hr = CreateElement(name, element); FAILED(hr))
        return hr;
    std::string attributeName, value;
    for (int i = 0; attributes.get(i, attributeName, value) >= 0; ++i) {
        pugi::xml_attribute attribute = element.append_attribute(attributeName.c_str());
        if (!attribute || !attribute.set_value(value.c_str()))
            TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", attributeName.c_str());
    }
    return S_OK;
}

HRESULT CXmlDom::CreateChildElement(XmlNode parent, const std::string& name, XmlNode& element)
{
    if (HRESULT hr = CreateElement(name, element); FAILED(hr))
        return hr;
    return AddElement(parent, element);
}

HRESULT CXmlDom::AddElement(XmlNode parent, XmlNode child)
{
    if (!parent)
        return AddElement2Root(child);
    if (!child) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    if (!parent.append_move(child)) {
        TRACE_HR(TRACE_ERROR, E_FAIL);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CXmlDom::AddElement2Root(XmlNode child)
{
    if (!m_pDocument || !child) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    // A document has one root element.
    if (GetDocumentElement() || !m_pDocument->append_move(child)) {
        TRACE_HR(TRACE_ERROR, E_FAIL);
        return E_FAIL;
    }
    if (!child.attribute("xmlns"))
        child.prepend_attribute("xmlns") = kNamespace;
    return S_OK;
}

namespace {

std::string ValueText(const Variant& value)
{
    switch (value.vt()) {
    case VT_I4:
        return std::to_string(value.lVal());
    case VT_UI4:
        return std::to_string(value.ulVal());
    case VT_UI2:
        return std::to_string(value.uiVal());
    case VT_BSTR:
        return value.bstrVal();
    default:
        return {};
    }
}

} // namespace

HRESULT CXmlDom::AppendValueElement(XmlNode parent, const std::string& name, const Variant& value)
{
    return AppendValueElement(parent, name, CXmlElementAttribute{}, value);
}

HRESULT CXmlDom::AppendValueElement(XmlNode parent, const std::string& name,
                                    const CXmlElementAttribute& attributes, const Variant& value)
{
    if (!parent) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    XmlNode element;
    if (HRESULT hr = CreateElement(name, attributes, element); FAILED(hr))
        return hr;
    const std::string text = ValueText(value);
    if (!text.empty() && !element.text().set(text.c_str())) {
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", name.c_str());
        return E_FAIL;
    }
    return AddElement(parent, element);
}

HRESULT CXmlDom::AppendValueElement(XmlNode parent, const char* name, const char* attributeName,
                                    std::int32_t attributeValue, const Variant& value)
{
    if (!parent || !m_pDocument) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    XmlNode element = parent.append_child(name);
    if (!element || !element.append_attribute(attributeName).set_value(attributeValue)) {
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", name);
        return E_FAIL;
    }
    bool ok = true;
    switch (value.vt()) {
    case VT_I4:
        ok = element.text().set(value.lVal());
        break;
    case VT_UI4:
        ok = element.text().set(value.ulVal());
        break;
    case VT_UI2:
        ok = element.text().set(static_cast<unsigned int>(value.uiVal()));
        break;
    case VT_BSTR:
        ok = value.bstrVal().empty() || element.text().set(value.bstrVal().c_str());
        break;
    default:
        break;
    }
    if (!ok) {
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", name);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CXmlDom::GetNodeValueAttribute(XmlNode node, const std::string& name, std::int32_t* value) const
{
    if (!node) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    for (pugi::xml_attribute attribute : node.attributes()) {
        if (std::strcmp(name.c_str(), attribute.name()) != 0)
            continue;
        // Plain decimal digits are the usual case; anything else takes the variant's rules.
        const std::string_view text = attribute.value();
        if (std::int64_t number = 0;
            ParsePlainDecimal(text, number) && number >= INT32_MIN && number <= INT32_MAX) {
            if (value)
                *value = static_cast<std::int32_t>(number);
            return S_OK;
        }
        Variant v = Variant::String(text);
        if (HRESULT hr = v.ChangeType(VT_I4); FAILED(hr)) {
            TRACE_HR_MSG(TRACE_ERROR, hr, "%s = '%.40s'", name.c_str(), attribute.value());
            return hr;
        }
        if (value)
            *value = v.lVal();
        return S_OK;
    }
    return S_FALSE;
}

HRESULT CXmlDom::GetNodeValue(XmlNode node, Variant& value) const
{
    if (!node) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    value = Variant::String(node.text().get());
    return S_OK;
}

bool CXmlDom::ReadXmlFile(const std::string& fileName)
{
    TRACE_ENTRY();
    if (FAILED(CreateXmlDomDocument()))
        return false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(fileName, ec);
    if (ec) {
        m_strLoadError = "The file '" + fileName + "' cannot be read: " + ec.message() + ".";
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", m_strLoadError.c_str());
        return false;
    }
    if (size > kMaxFileSize) {
        m_strLoadError = "The file '" + fileName + "' is " + std::to_string(size) +
                         " bytes long; an exchange file has at most " + std::to_string(kMaxFileSize) + ".";
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", m_strLoadError.c_str());
        return false;
    }
    std::ifstream in(fileName, std::ios::binary);
    std::string buffer;
    buffer.resize(static_cast<std::size_t>(size));
    if (!in || !in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
        m_strLoadError = "The file '" + fileName + "' cannot be read.";
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", m_strLoadError.c_str());
        return false;
    }
    // A lone space or line break as a whole text is a value, not formatting.
    const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single;
    pugi::xml_parse_result result =
        m_pDocument->load_buffer(buffer.data(), buffer.size(), options, pugi::encoding_utf8);
    m_strSource = std::move(buffer);
    if (result)
        return true;
    const auto [line, position] = PositionOfOffset(result.offset);
    char where[64];
    std::snprintf(where, sizeof where, "Line %ld pos %ld: ", line, position);
    TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "Line %ld pos %ld: %s", line, position, result.description());
    m_strLoadError =
        "The file '" + fileName + "' is no readable XML document (" + where + result.description() + ").";
    return false;
}

std::pair<long, long> CXmlDom::PositionOfOffset(std::ptrdiff_t offset) const
{
    if (offset < 0)
        return {0, 0};
    const std::size_t at = std::min(static_cast<std::size_t>(offset), m_strSource.size());
    long line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < at; ++i) {
        if (m_strSource[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return {line, static_cast<long>(at - lineStart) + 1};
}

std::pair<long, long> CXmlDom::GetNodePosition(XmlNode node) const
{
    return node ? PositionOfOffset(node.offset_debug()) : std::pair<long, long>{0, 0};
}

namespace {

struct FileWriter final : pugi::xml_writer
{
    explicit FileWriter(std::FILE* f) : file(f) {}
    // The writer adds no line breaks, so a carriage return is a value's: written as a reference, as
    // a reader turns a literal one into a line feed.
    void write(const void* data, std::size_t size) override
    {
        const std::string_view bytes(static_cast<const char*>(data), size);
        std::size_t begin = 0;
        for (std::size_t r = bytes.find('\r'); r != std::string_view::npos; r = bytes.find('\r', begin)) {
            Put(bytes.substr(begin, r - begin));
            Put("&#13;");
            begin = r + 1;
        }
        Put(bytes.substr(begin));
    }
    void Put(std::string_view bytes)
    {
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
            failed = true;
    }
    std::FILE* file;
    bool failed = false;
};

} // namespace

HRESULT CXmlDom::SaveXmlDocument(const std::string& fileName)
{
    TRACE_ENTRY();
    if (!m_pDocument) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    // Elements created and never added are no part of the file.
    if (m_holder) {
        m_pDocument->remove_child(m_holder);
        m_holder = {};
    }
    if (!m_pDocument->first_child())
        TRACE_HR(TRACE_ERROR, E_FAIL);
    // A symbolic link stays a link: the file it names is the one replaced.
    std::string target = fileName;
    std::error_code linkError;
    if (std::filesystem::is_symlink(fileName, linkError)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(fileName, linkError);
        if (!linkError)
            target = resolved.string();
    }
    // Written beside the target and renamed over it, so a failed save leaves the old file whole. The
    // new file takes the old one's permissions.
    struct stat old
    {};
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const std::string temporary = target + ".tmp-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file && replacing)
        ::fchmod(::fileno(file), old.st_mode & 07777);
    bool written = file != nullptr;
    if (file) {
        FileWriter writer(file);
        m_pDocument->save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
        written = !writer.failed && std::fflush(file) == 0;
        written = std::fclose(file) == 0 && written;
    }
    if (!written) {
        std::error_code ec;
        std::filesystem::remove(temporary, ec);
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", fileName.c_str());
        return E_FAIL;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", fileName.c_str());
        return E_FAIL;
    }
    return S_OK;
}
