// A window's client object as a screen reader reads it, through
// AccessibleObjectFromWindow (from this process or, through COM, another
// one), with its texts in UTF-8. The caller has started COM.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>

namespace wintest {

class AccessibleReader {
public:
    explicit AccessibleReader(HWND window);
    ~AccessibleReader();
    AccessibleReader(const AccessibleReader&) = delete;
    AccessibleReader& operator=(const AccessibleReader&) = delete;
    explicit operator bool() const { return object_ != nullptr; }

    // -1 or "" where the object has no answer; part 0 is the window itself.
    LONG Role(LONG part = CHILDID_SELF) const;
    LONG State(LONG part = CHILDID_SELF) const;
    std::string Name(LONG part = CHILDID_SELF) const;
    std::string Value(LONG part = CHILDID_SELF) const;
    std::string Action(LONG part = CHILDID_SELF) const;
    LONG Parts() const;
    LONG Selection() const;
    RECT Location(LONG part = CHILDID_SELF) const;
    HRESULT Do(LONG part = CHILDID_SELF) const;
    // What asking for the name answers (S_OK, RPC_E_DISCONNECTED, ...).
    HRESULT NameResult() const;
    // How many references the object has besides this reader's.
    ULONG OtherHolders() const;

private:
    IAccessible* object_ = nullptr;
};

} // namespace wintest
