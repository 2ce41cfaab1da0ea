#pragma once
// The HTML document object model as the system's C++ callers use it: the
// document class and, of each interface, the members they call, with their
// Windows IIDs. Each interface is dual on Windows; here IDispatch answers no
// names, as nothing drives these objects by name.

#include "platform/automation/Dispatch.h"
#include "platform/automation/SafeArray.h"

inline constexpr CLSID CLSID_HTMLDocument = plat::make_guid("{25336920-03F9-11CF-8FD0-00AA00686F13}");
inline constexpr IID IID_IHTMLDocument = plat::make_guid("{626FC520-A41E-11CF-A731-00A0C9082637}");
inline constexpr IID IID_IHTMLDocument2 = plat::make_guid("{332C4425-26CB-11D0-B483-00C04FD90119}");
inline constexpr IID IID_IHTMLDocument3 = plat::make_guid("{3050F485-98B5-11CF-BB82-00AA00BDCE0B}");
inline constexpr IID IID_IHTMLElement = plat::make_guid("{3050F1FF-98B5-11CF-BB82-00AA00BDCE0B}");
inline constexpr IID IID_IHTMLImgElement = plat::make_guid("{3050F240-98B5-11CF-BB82-00AA00BDCE0B}");
inline constexpr IID IID_IHTMLDOMNode = plat::make_guid("{3050F5DA-98B5-11CF-BB82-00AA00BDCE0B}");
inline constexpr IID IID_IHTMLElementCollection = plat::make_guid("{3050F21F-98B5-11CF-BB82-00AA00BDCE0B}");

struct IHTMLElement : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IHTMLElement;
    virtual HRESULT put_id(BSTR id) = 0;
    virtual HRESULT get_id(BSTR* id) = 0;
    virtual HRESULT put_className(BSTR name) = 0;
    // The class attribute as written (all its classes, blank-separated).
    virtual HRESULT get_className(BSTR* name) = 0;
    // An attribute's value as VT_BSTR, VT_NULL when missing; "href" comes
    // resolved against the page's address. `flags` is not used.
    virtual HRESULT getAttribute(BSTR name, LONG flags, VARIANT* value) = 0;
    // The element's content as markup.
    virtual HRESULT get_innerHTML(BSTR* html) = 0;
    // Replaces the content with the markup, parsed as this element's content.
    virtual HRESULT put_innerHTML(BSTR html) = 0;
    // The content's text, without markup, script or style.
    virtual HRESULT get_innerText(BSTR* text) = 0;
    // Parses html in the context of its new parent and puts it "beforeBegin",
    // "afterBegin", "beforeEnd" or "afterEnd" of this element (any case).
    // E_INVALIDARG for another place; E_FAIL outside the element with no
    // element parent.
    virtual HRESULT insertAdjacentHTML(BSTR where, BSTR html) = 0;
    // A click on the element: a "javascript:" link runs in the page's
    // scripts. Nothing is navigated to or fetched.
    virtual HRESULT click() = 0;

protected:
    ~IHTMLElement() = default;
};

// Any node of the tree: elements, and text and comments, which give no
// IHTMLElement.
struct IHTMLDOMNode : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IHTMLDOMNode;
    // Null at the top of the tree.
    virtual HRESULT get_parentNode(IHTMLDOMNode** parent) = 0;
    // E_INVALIDARG when child is not this node's child.
    virtual HRESULT removeChild(IHTMLDOMNode* child, IHTMLDOMNode** removed) = 0;
    // The sibling before this node, passing over text of blanks only (an
    // artefact of the markup's layout, not content); null when none.
    virtual HRESULT get_previousSibling(IHTMLDOMNode** sibling) = 0;

protected:
    ~IHTMLDOMNode() = default;
};

struct IHTMLImgElement : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IHTMLImgElement;
    virtual HRESULT put_src(BSTR src) = 0;
    // The address as written in the markup; nothing is resolved or fetched.
    virtual HRESULT get_src(BSTR* src) = 0;

protected:
    ~IHTMLImgElement() = default;
};

struct IHTMLElementCollection : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IHTMLElementCollection;
    virtual HRESULT get_length(LONG* length) = 0;
    // A number in `name` picks by position; a text picks the elements whose id
    // or name it is, the index-th of them (0 when `index` is empty). S_OK with
    // null when nothing matches.
    virtual HRESULT item(VARIANT name, VARIANT index, IDispatch** element) = 0;

protected:
    ~IHTMLElementCollection() = default;
};

struct IHTMLDocument : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IHTMLDocument;
    // The page's script globals, read and written by name; null when the
    // document runs no scripts.
    virtual HRESULT get_Script(IDispatch** script) = 0;

protected:
    ~IHTMLDocument() = default;
};

struct IHTMLDocument2 : IHTMLDocument {
    using base = IHTMLDocument;
    static constexpr const IID& iid = IID_IHTMLDocument2;
    // Appends the array's texts to the document's source and parses it again.
    // E_INVALIDARG when the source grows too large or too deeply nested to
    // parse in bounded time; the document is then left as it was.
    virtual HRESULT write(SAFEARRAY* texts) = 0;
    virtual HRESULT get_body(IHTMLElement** body) = 0;

protected:
    ~IHTMLDocument2() = default;
};

struct IHTMLDocument3 : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IHTMLDocument3;
    // Elements in document order at the time of the call; the tag name
    // matches without case.
    virtual HRESULT getElementsByTagName(BSTR name, IHTMLElementCollection** elements) = 0;
    // S_OK with null when no element has that id.
    virtual HRESULT getElementById(BSTR id, IHTMLElement** element) = 0;

protected:
    ~IHTMLDocument3() = default;
};
