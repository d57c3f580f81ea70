#include "accessible.h"

namespace wintest {

namespace {

VARIANT Part(LONG part)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = part;
    return v;
}

std::string Utf8(BSTR text)
{
    const int length = text ? static_cast<int>(SysStringLen(text)) : 0;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], size, nullptr, nullptr);
    return result;
}

using NumberGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, VARIANT*);
using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);

LONG Number(IAccessible* object, NumberGetter get, LONG part)
{
    VARIANT v;
    v.vt = VT_EMPTY;
    return object && SUCCEEDED((object->*get)(Part(part), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}

std::string Text(IAccessible* object, TextGetter get, LONG part)
{
    BSTR text = nullptr;
    if (object) (object->*get)(Part(part), &text);
    const std::string result = Utf8(text);
    SysFreeString(text);
    return result;
}

} // namespace

AccessibleReader::AccessibleReader(HWND window)
{
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object_))))
        object_ = nullptr;
}

AccessibleReader::~AccessibleReader()
{
    if (object_) object_->Release();
}

LONG AccessibleReader::Role(LONG part) const { return Number(object_, &IAccessible::get_accRole, part); }
LONG AccessibleReader::State(LONG part) const { return Number(object_, &IAccessible::get_accState, part); }
std::string AccessibleReader::Name(LONG part) const { return Text(object_, &IAccessible::get_accName, part); }
std::string AccessibleReader::Value(LONG part) const { return Text(object_, &IAccessible::get_accValue, part); }

std::string AccessibleReader::Action(LONG part) const
{
    return Text(object_, &IAccessible::get_accDefaultAction, part);
}

LONG AccessibleReader::Parts() const
{
    LONG count = -1;
    if (object_) object_->get_accChildCount(&count);
    return count;
}

LONG AccessibleReader::Selection() const
{
    VARIANT v;
    v.vt = VT_EMPTY;
    if (object_) object_->get_accSelection(&v);
    return v.vt == VT_I4 ? v.lVal : -1;
}

RECT AccessibleReader::Location(LONG part) const
{
    LONG x = 0, y = 0, w = 0, h = 0;
    if (object_) object_->accLocation(&x, &y, &w, &h, Part(part));
    return {x, y, x + w, y + h};
}

HRESULT AccessibleReader::Do(LONG part) const
{
    return object_ ? object_->accDoDefaultAction(Part(part)) : E_FAIL;
}

HRESULT AccessibleReader::NameResult() const
{
    BSTR text = nullptr;
    const HRESULT result = object_ ? object_->get_accName(Part(CHILDID_SELF), &text) : E_FAIL;
    SysFreeString(text);
    return result;
}

ULONG AccessibleReader::OtherHolders() const
{
    if (!object_) return 0;
    const ULONG count = object_->AddRef();
    object_->Release();
    return count - 2;
}

} // namespace wintest
