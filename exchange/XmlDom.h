// The XML document layer of the exchange file: one document, elements in the gateway's namespace,
// attributes, values, UTF-8 save and load with parse errors told by line, position and reason.
#pragma once

#include "model/UserPrompt.h"
#include "platform/Variant.h"

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>
#include <vector>

// The attribute list that travels with a new element: names and values in insertion order.
class CXmlElementAttribute
{
public:
    virtual ~CXmlElementAttribute();
    // The new index, or -1 when the two lists already differ in length.
    int add(const std::string& name, std::int32_t value);
    int add(const std::string& name, const std::string& value);
    // index, or -1 when the lists differ in length or the index lies outside them.
    int get(int index, std::string& name, std::string& value) const;
    int count() const { return static_cast<int>(m_strNames.size()); }

protected:
    std::vector<std::string> m_strNames;
    std::vector<std::string> m_strValues;
};

// Elements are handed out as pugixml node handles; a null handle stands for no element.
using XmlNode = pugi::xml_node;

class CXmlDom
{
public:
    static constexpr const char* kNamespace = "DALI Gateway";
    // Files above this size are refused before they are read.
    static constexpr std::size_t kMaxFileSize = 64u << 20;

    CXmlDom() = default;
    virtual ~CXmlDom();
    CXmlDom(const CXmlDom&) = delete;
    CXmlDom& operator=(const CXmlDom&) = delete;

    // Shown when no document can be created (prompt may be null: nothing is shown).
    void SetMessageText(std::string text) { m_strMessage = std::move(text); }
    void SetPrompt(IUserPrompt* prompt) { m_pPrompt = prompt; }

    HRESULT CreateXmlDomDocument();
    HRESULT CreateHeader();
    HRESULT CreateElement(const std::string& name, XmlNode& element);
    HRESULT CreateElement(const std::string& name, const CXmlElementAttribute& attributes, XmlNode& element);
    HRESULT CreateChildElement(XmlNode parent, const std::string& name, XmlNode& element);
    HRESULT AddElement(XmlNode parent, XmlNode child);
    HRESULT AddElement2Root(XmlNode child);
    HRESULT AppendValueElement(XmlNode parent, const std::string& name, const Variant& value);
    // The same with one numeric attribute, without an attribute list: the form of the thousands of
    // parameter elements of an export. Value elements are kept as their text, not as nodes: they are
    // written, never read back from the document.
    HRESULT AppendValueElement(XmlNode parent, const char* name, const char* attributeName,
                               std::int32_t attributeValue, const Variant& value);
    HRESULT AppendValueElement(XmlNode parent, const std::string& name,
                               const CXmlElementAttribute& attributes, const Variant& value);
    // S_OK with the attribute's value as a 32-bit signed integer; S_FALSE (value unchanged) when the
    // node has no such attribute; a conversion failure when the text is no such integer.
    HRESULT GetNodeValueAttribute(XmlNode node, const std::string& name, std::int32_t* value) const;
    // The element's text as a text variant (empty for an element without text).
    HRESULT GetNodeValue(XmlNode node, Variant& value) const;
    XmlNode GetDocumentElement() const;

    // Loads the file; false with the reason in GetLoadError (parse errors with line and position).
    bool ReadXmlFile(const std::string& fileName);
    // Writes the document in one line, UTF-8; the old file is replaced only by a complete new one.
    HRESULT SaveXmlDocument(const std::string& fileName);

    const std::string& GetLoadError() const { return m_strLoadError; }
    // Line and column (both from 1) of a node of the loaded file; 0 when unknown.
    std::pair<long, long> GetNodePosition(XmlNode node) const;

protected:
    std::pair<long, long> PositionOfOffset(std::ptrdiff_t offset) const;

    std::string m_strMessage;
    IUserPrompt* m_pPrompt = nullptr;
    std::unique_ptr<pugi::xml_document> m_pDocument;
    // The loaded file's text, parsed in place: the document's texts point into it.
    std::string m_strSource;
    // Offsets of the file's line breaks, for positions of errors.
    std::vector<std::size_t> m_lineBreaks;
    std::string m_strLoadError;

private:
    // Created elements wait here until they are added; the holder never reaches a saved file.
    XmlNode Holder();
    // The run that a value element appended to the parent goes to; null when none can be made.
    std::string* RunOf(XmlNode parent);
    // The document in one line, in the form pugixml writes it raw.
    void Serialize(std::string& out) const;
    void SerializeNode(std::string& out, pugi::xml_node node) const;
    pugi::xml_node m_holder;
    // Value elements appended in bulk, as text: one run per stretch of them under a parent, standing
    // behind an empty text node at their place among the parent's children.
    std::vector<std::string> m_runs;
    std::unordered_map<const void*, std::size_t> m_runOfNode;
    // The run appended to last and its placeholder.
    pugi::xml_node m_lastRunNode;
    std::size_t m_lastRun = 0;
    // The names and tags of the last bulk element.
    std::string m_tagName, m_tagAttribute, m_openTag, m_closeTag;
};
