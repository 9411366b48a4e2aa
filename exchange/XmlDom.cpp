#include "exchange/XmlDom.h"

#include "trace/DebugTrace.h"

#include <algorithm>
#include <charconv>
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
    m_lineBreaks.clear();
    m_runs.clear();
    m_runOfNode.clear();
    m_lastRunNode = {};
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

// Texts as pugixml writes them raw: markup characters and control characters as references. A
// carriage return in a value is written as a reference too, as a reader turns a literal one into a
// line feed.
void AppendEscaped(std::string& out, std::string_view text, bool attribute)
{
    std::size_t begin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char* reference = nullptr;
        char numeric[6];
        switch (c) {
        case '&':
            reference = "&amp;";
            break;
        case '<':
            reference = "&lt;";
            break;
        case '>':
            reference = attribute ? nullptr : "&gt;";
            break;
        case '"':
            reference = attribute ? "&quot;" : nullptr;
            break;
        case '\t':
        case '\n':
            if (attribute)
                reference = c == '\t' ? "&#09;" : "&#10;";
            break;
        default:
            if (c < 32) {
                numeric[0] = '&';
                numeric[1] = '#';
                numeric[2] = static_cast<char>('0' + c / 10);
                numeric[3] = static_cast<char>('0' + c % 10);
                numeric[4] = ';';
                numeric[5] = 0;
                reference = numeric;
            }
            break;
        }
        if (!reference)
            continue;
        out.append(text.substr(begin, i - begin));
        out.append(reference);
        begin = i + 1;
    }
    out.append(text.substr(begin));
}

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
    std::string* run = parent && m_pDocument && !name.empty() ? RunOf(parent) : nullptr;
    if (!run) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    *run += '<';
    *run += name;
    std::string attributeName, attributeValue;
    for (int i = 0; attributes.get(i, attributeName, attributeValue) >= 0; ++i) {
        *run += ' ';
        *run += attributeName;
        *run += "=\"";
        AppendEscaped(*run, attributeValue, true);
        *run += '"';
    }
    const std::string text = ValueText(value);
    if (text.empty()) {
        *run += "/>";
        return S_OK;
    }
    *run += '>';
    AppendEscaped(*run, text, false);
    *run += "</";
    *run += name;
    *run += '>';
    return S_OK;
}

std::string* CXmlDom::RunOf(XmlNode parent)
{
    // A stretch of value elements is one run behind one placeholder node.
    XmlNode last = parent.last_child();
    if (!last || last != m_lastRunNode) {
        auto found = last ? m_runOfNode.find(last.internal_object()) : m_runOfNode.end();
        if (found == m_runOfNode.end()) {
            last = parent.append_child(pugi::node_pcdata);
            if (!last)
                return nullptr;
            found = m_runOfNode.emplace(last.internal_object(), m_runs.size()).first;
            m_runs.emplace_back();
        }
        m_lastRunNode = last;
        m_lastRun = found->second;
    }
    return &m_runs[m_lastRun];
}

HRESULT CXmlDom::AppendValueElement(XmlNode parent, const char* name, const char* attributeName,
                                    std::int32_t attributeValue, const Variant& value)
{
    if (!parent || !m_pDocument || !name || !*name || !attributeName || !*attributeName) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return E_POINTER;
    }
    std::string* target = RunOf(parent);
    if (!target) {
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", name);
        return E_FAIL;
    }
    // Thousands of elements share their name and attribute: the tags are made once.
    if (std::strcmp(name, m_tagName.c_str()) != 0 ||
        std::strcmp(attributeName, m_tagAttribute.c_str()) != 0) {
        m_tagName = name;
        m_tagAttribute = attributeName;
        m_openTag = "<" + m_tagName + " " + m_tagAttribute + "=\"";
        m_closeTag = "</" + m_tagName + ">";
    }
    std::string& run = *target;
    // Tags and numbers are written in place; only a text value is appended on its own.
    const std::size_t start = run.size();
    run.resize(start + m_openTag.size() + m_closeTag.size() + 2 * 11 + 2);
    char* at = run.data() + start;
    char* const end = run.data() + run.size();
    auto put = [&](const std::string& text) {
        std::memcpy(at, text.data(), text.size());
        at += text.size();
    };
    put(m_openTag);
    at = std::to_chars(at, end, attributeValue).ptr;
    *at++ = '"';
    *at++ = '>';
    const char* const textStart = at;
    switch (value.vt()) {
    case VT_I4:
        at = std::to_chars(at, end, value.lVal()).ptr;
        break;
    case VT_UI4:
        at = std::to_chars(at, end, value.ulVal()).ptr;
        break;
    case VT_UI2:
        at = std::to_chars(at, end, static_cast<unsigned>(value.uiVal())).ptr;
        break;
    case VT_BSTR:
        if (!value.bstrVal().empty()) {
            run.resize(static_cast<std::size_t>(at - run.data()));
            AppendEscaped(run, value.bstrVal(), false);
            run += m_closeTag;
            return S_OK;
        }
        break;
    default:
        break;
    }
    if (at == textStart) {
        // No text: an empty element.
        at[-1] = '/';
        *at++ = '>';
    } else {
        put(m_closeTag);
    }
    run.resize(static_cast<std::size_t>(at - run.data()));
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
    // Positions are told by line: the line breaks are noted before the parser changes the text.
    for (const char* at = buffer.data();
         const void* found =
             std::memchr(at, '\n', static_cast<std::size_t>(buffer.data() + buffer.size() - at));
         at = static_cast<const char*>(found) + 1)
        m_lineBreaks.push_back(static_cast<std::size_t>(static_cast<const char*>(found) - buffer.data()));
    // The document keeps its texts in the buffer, which lives as long as the document. A lone space
    // or line break as a whole text is a value, not formatting; an element's text is kept as its value.
    m_strSource = std::move(buffer);
    const unsigned options = pugi::parse_default | pugi::parse_ws_pcdata_single | pugi::parse_embed_pcdata;
    pugi::xml_parse_result result = m_pDocument->load_buffer_inplace(m_strSource.data(), m_strSource.size(),
                                                                     options, pugi::encoding_utf8);
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
    // Line breaks before the offset, and where the offset's line starts.
    const auto before = std::lower_bound(m_lineBreaks.begin(), m_lineBreaks.end(), at);
    const std::size_t lineStart = before == m_lineBreaks.begin() ? 0 : *(before - 1) + 1;
    return {static_cast<long>(before - m_lineBreaks.begin()) + 1, static_cast<long>(at - lineStart) + 1};
}

std::pair<long, long> CXmlDom::GetNodePosition(XmlNode node) const
{
    return node ? PositionOfOffset(node.offset_debug()) : std::pair<long, long>{0, 0};
}

void CXmlDom::SerializeNode(std::string& out, pugi::xml_node node) const
{
    switch (node.type()) {
    case pugi::node_element:
    case pugi::node_declaration: {
        const bool declaration = node.type() == pugi::node_declaration;
        out += declaration ? "<?" : "<";
        out += node.name();
        for (pugi::xml_attribute attribute : node.attributes()) {
            out += ' ';
            out += attribute.name();
            out += "=\"";
            AppendEscaped(out, attribute.value(), true);
            out += '"';
        }
        // A loaded element keeps its first text as its value.
        const std::string_view value = declaration ? std::string_view{} : node.value();
        if (declaration) {
            out += "?>";
        } else if (!node.first_child() && value.empty()) {
            out += "/>";
        } else {
            out += '>';
            AppendEscaped(out, value, false);
            for (pugi::xml_node child : node.children())
                SerializeNode(out, child);
            out += "</";
            out += node.name();
            out += '>';
        }
        break;
    }
    case pugi::node_pcdata: {
        auto run = m_runOfNode.find(node.internal_object());
        if (run != m_runOfNode.end())
            out += m_runs[run->second];
        else
            AppendEscaped(out, node.value(), false);
        break;
    }
    default:
        // The exchange file has no other kinds of nodes.
        TRACE_MSG(TRACE_WARNING, "node type %d not written", static_cast<int>(node.type()));
        break;
    }
}

void CXmlDom::Serialize(std::string& out) const
{
    std::size_t size = 64;
    for (const std::string& run : m_runs)
        size += run.size();
    out.reserve(size + size / 8);
    for (pugi::xml_node node : m_pDocument->children())
        SerializeNode(out, node);
}

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
        std::string text;
        Serialize(text);
        written = (text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size()) &&
                  std::fflush(file) == 0;
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
