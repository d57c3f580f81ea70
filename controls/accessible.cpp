/*
 * The IAccessible object behind every window of the library. One object a
 * window, made on the first WM_GETOBJECT and kept in a window property
 * until the window goes; what its class's KwAccessInfo does not say is
 * asked of the system's standard client object for the same window.
 */
#include "accessible.h"

#include <new>

namespace {

const char kObjectProperty[] = "KwAccessibleObject";

// The interface's identifier as the header declares it. The 64-bit import
// library of the accessibility layer exports a code thunk, not the GUID,
// under the name IID_IAccessible.
const IID kAccessibleIid = __uuidof(IAccessible);

// Timers that run a default action from the window's message loop, one id a
// part; far from the small ids the controls and their tips use.
constexpr UINT_PTR kActionTimer = 0x4B41;

BSTR ToBstr(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (result && length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result, length);
    return result;
}

// S_OK with the text, or S_FALSE and no text when there is none.
HRESULT AnswerText(const std::string& text, BSTR* out)
{
    if (text.empty()) return S_FALSE;
    *out = ToBstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT AnswerText(const char* text, BSTR* out)
{
    return text ? AnswerText(std::string(text), out) : S_FALSE;
}

void SetPart(VARIANT* out, LONG part)
{
    out->vt = VT_I4;
    out->lVal = part;
}

HRESULT Answer(VARIANT* out, LONG part)
{
    SetPart(out, part);
    return S_OK;
}

// A screen rectangle from a client one.
void ToScreen(HWND window, RECT rect, LONG* left, LONG* top, LONG* width, LONG* height)
{
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
}

VOID CALLBACK RunDefaultAction(HWND window, UINT, UINT_PTR id, DWORD);

class Accessible final : public IAccessible {
public:
    Accessible(HWND window, const KwAccessInfo& info) : window_(window), info_(info)
    {
        if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, kAccessibleIid,
                                             reinterpret_cast<void**>(&standard_))))
            standard_ = nullptr;
    }
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;

    const KwAccessInfo& info() const { return info_; }

    // The window is going: every later call answers "disconnected".
    void Disconnect()
    {
        window_ = nullptr;
        if (standard_) standard_->Release();
        standard_ = nullptr;
    }

    // ----- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kAccessibleIid)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // ----- IDispatch: no type information; screen readers call the
    // IAccessible methods themselves.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // ----- IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        if (!window_) return RPC_E_DISCONNECTED;
        // A client area's parent is its window's frame object.
        return AccessibleObjectFromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                          reinterpret_cast<void**>(parent));
    }

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        if (!count) return E_POINTER;
        *count = 0;
        if (!window_) return RPC_E_DISCONNECTED;
        if (info_.partCount) {
            *count = info_.partCount(window_);
            return S_OK;
        }
        return standard_ ? standard_->get_accChildCount(count) : S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!window_) return RPC_E_DISCONNECTED;
        if (!info_.partCount) return standard_ ? standard_->get_accChild(child, out) : E_INVALIDARG;
        // Parts are simple elements: no object of their own.
        LONG part;
        const HRESULT checked = Check(child, &part);
        return FAILED(checked) ? checked : (part == CHILDID_SELF ? E_INVALIDARG : S_FALSE);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return TextOf(info_.name, child, name);
    }

    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return TextOf(info_.value, child, value);
    }

    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        return AskStandardForSelf(child, description, &IAccessible::get_accDescription);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        LONG part;
        const HRESULT checked = Prepare(child, role, &part);
        if (FAILED(checked)) return checked;
        SetPart(role, part == CHILDID_SELF ? info_.role : info_.partRole);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        LONG part;
        const HRESULT checked = Prepare(child, state, &part);
        if (FAILED(checked)) return checked;
        LONG value = part == CHILDID_SELF ? StandardState() : 0;
        if (info_.state) value = info_.state(window_, part, value);
        SetPart(state, value);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        return AskStandardForSelf(child, help, &IAccessible::get_accHelp);
    }

    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        if (!file || !topic) return E_POINTER;
        *file = nullptr;
        *topic = 0;
        LONG part;
        const HRESULT checked = Check(child, &part);
        if (FAILED(checked)) return checked;
        return part == CHILDID_SELF && standard_ ? standard_->get_accHelpTopic(file, child, topic) : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return AskStandardForSelf(child, shortcut, &IAccessible::get_accKeyboardShortcut);
    }

    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        if (!focus) return E_POINTER;
        focus->vt = VT_EMPTY;
        if (!window_) return RPC_E_DISCONNECTED;
        if (GetFocus() != window_) return S_FALSE;
        const LONG part = info_.selectedPart ? info_.selectedPart(window_) : 0;
        SetPart(focus, part > 0 ? part : CHILDID_SELF);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        if (!selection) return E_POINTER;
        selection->vt = VT_EMPTY;
        if (!window_) return RPC_E_DISCONNECTED;
        const LONG part = info_.selectedPart ? info_.selectedPart(window_) : 0;
        if (part <= 0) return S_FALSE;
        SetPart(selection, part);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        LONG part;
        const HRESULT checked = Prepare(child, action, &part);
        if (FAILED(checked)) return checked;
        return AnswerText(ActionOf(part), action);
    }

    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        LONG part;
        const HRESULT checked = Check(child, &part);
        if (FAILED(checked)) return checked;
        if (part == CHILDID_SELF && standard_) return standard_->accSelect(flags, child);
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        if (!left || !top || !width || !height) return E_POINTER;
        *left = *top = *width = *height = 0;
        LONG part;
        const HRESULT checked = Check(child, &part);
        if (FAILED(checked)) return checked;
        RECT rect;
        if (part == CHILDID_SELF)
            GetClientRect(window_, &rect);
        else if (!info_.partRect || !info_.partRect(window_, part, &rect))
            return S_FALSE;
        ToScreen(window_, rect, left, top, width, height);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        if (!end) return E_POINTER;
        end->vt = VT_EMPTY;
        LONG part;
        const HRESULT checked = Check(start, &part);
        if (FAILED(checked)) return checked;
        const LONG count = info_.partCount ? info_.partCount(window_) : 0;
        if (!info_.partCount) return standard_ ? standard_->accNavigate(direction, start, end) : S_FALSE;
        if (part == CHILDID_SELF) {
            if (direction == NAVDIR_FIRSTCHILD && count > 0) return Answer(end, 1);
            if (direction == NAVDIR_LASTCHILD && count > 0) return Answer(end, count);
            return standard_ ? standard_->accNavigate(direction, start, end) : S_FALSE;
        }
        if (direction == NAVDIR_NEXT && part < count) return Answer(end, part + 1);
        if (direction == NAVDIR_PREVIOUS && part > 1) return Answer(end, part - 1);
        return S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override
    {
        if (!hit) return E_POINTER;
        hit->vt = VT_EMPTY;
        if (!window_) return RPC_E_DISCONNECTED;
        POINT point = {x, y};
        ScreenToClient(window_, &point);
        RECT client;
        GetClientRect(window_, &client);
        if (!PtInRect(&client, point)) return S_FALSE;
        const LONG count = info_.partCount ? info_.partCount(window_) : 0;
        for (LONG part = 1; part <= count && info_.partRect; ++part) {
            RECT rect;
            if (info_.partRect(window_, part, &rect) && PtInRect(&rect, point)) return Answer(hit, part);
        }
        // Child windows (a calendar's month bar) are the standard object's.
        if (standard_ && SUCCEEDED(standard_->accHitTest(x, y, hit)) && hit->vt != VT_EMPTY) return S_OK;
        return Answer(hit, CHILDID_SELF);
    }

    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        LONG part;
        const HRESULT checked = Check(child, &part);
        if (FAILED(checked)) return checked;
        if (!info_.doAction || !ActionOf(part)) return DISP_E_MEMBERNOTFOUND;
        // Done from the window's own message loop, as a click would be:
        // the action may open a modal box, which must not hold the caller.
        return SetTimer(window_, kActionTimer + static_cast<UINT_PTR>(part), USER_TIMER_MINIMUM, RunDefaultAction)
                   ? S_OK
                   : E_FAIL;
    }

    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~Accessible() { Disconnect(); }

    // The part a child id names (CHILDID_SELF for the window), or the
    // error a screen reader expects.
    HRESULT Check(const VARIANT& child, LONG* part) const
    {
        *part = CHILDID_SELF;
        if (!window_) return RPC_E_DISCONNECTED;
        if (child.vt == VT_EMPTY) return S_OK;
        if (child.vt != VT_I4) return E_INVALIDARG;
        const LONG count = info_.partCount ? info_.partCount(window_) : 0;
        if (child.lVal < 0 || child.lVal > count) return E_INVALIDARG;
        *part = child.lVal;
        return S_OK;
    }

    // Empties an answer and checks the child id, as every getter begins.
    HRESULT Prepare(const VARIANT& child, VARIANT* out, LONG* part) const
    {
        if (!out) return E_POINTER;
        out->vt = VT_EMPTY;
        return Check(child, part);
    }
    HRESULT Prepare(const VARIANT& child, BSTR* out, LONG* part) const
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        return Check(child, part);
    }

    const char* ActionOf(LONG part) const { return part == CHILDID_SELF ? info_.action : info_.partAction; }

    HRESULT TextOf(void (*read)(HWND, LONG, std::string&), const VARIANT& child, BSTR* out) const
    {
        LONG part;
        const HRESULT checked = Prepare(child, out, &part);
        if (FAILED(checked) || !read) return FAILED(checked) ? checked : S_FALSE;
        std::string text;
        read(window_, part, text);
        return AnswerText(text, out);
    }

    // What the standard client object says of the window itself; parts
    // have nothing of the kind.
    HRESULT AskStandardForSelf(const VARIANT& child, BSTR* out,
                               HRESULT (STDMETHODCALLTYPE IAccessible::*ask)(VARIANT, BSTR*))
    {
        LONG part;
        const HRESULT checked = Prepare(child, out, &part);
        if (FAILED(checked)) return checked;
        return part == CHILDID_SELF && standard_ ? (standard_->*ask)(child, out) : S_FALSE;
    }

    // Focusable, focused, unavailable and invisible, as the system tells
    // them for any window's client area.
    LONG StandardState() const
    {
        VARIANT self;
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        VARIANT state;
        state.vt = VT_EMPTY;
        if (standard_ && SUCCEEDED(standard_->get_accState(self, &state)) && state.vt == VT_I4) return state.lVal;
        LONG value = IsWindowEnabled(window_) ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_UNAVAILABLE;
        if (GetFocus() == window_) value |= STATE_SYSTEM_FOCUSED;
        if (!IsWindowVisible(window_)) value |= STATE_SYSTEM_INVISIBLE;
        return value;
    }

    LONG references_ = 1;
    HWND window_;
    const KwAccessInfo& info_;
    IAccessible* standard_ = nullptr;
};

Accessible* ObjectOf(HWND window)
{
    return static_cast<Accessible*>(GetPropA(window, kObjectProperty));
}

VOID CALLBACK RunDefaultAction(HWND window, UINT, UINT_PTR id, DWORD)
{
    KillTimer(window, id);
    const Accessible* object = ObjectOf(window);
    if (object && object->info().doAction) object->info().doAction(window, static_cast<LONG>(id - kActionTimer));
}

// The object is handed out through COM, which this thread may not have
// started: the first request starts it (single-threaded apartment, as a
// window's thread is) and leaves it running for the thread's life.
void EnsureCom()
{
    static thread_local bool started = false;
    if (started) return;
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    started = SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
}

} // namespace

LRESULT KwAnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam, const KwAccessInfo& info)
{
    // Object ids are 32-bit values, sign-extended in a 64-bit lParam.
    if (static_cast<LONG>(lParam) != OBJID_CLIENT) return 0;
    EnsureCom();
    Accessible* object = ObjectOf(window);
    if (!object) {
        object = new (std::nothrow) Accessible(window, info);
        if (!object) return 0;
        if (!SetPropA(window, kObjectProperty, object)) {
            object->Release();
            return 0;
        }
    }
    return LresultFromObject(kAccessibleIid, wParam, object);
}

void KwForgetAccessible(HWND window)
{
    Accessible* object = static_cast<Accessible*>(RemovePropA(window, kObjectProperty));
    if (!object) return;
    object->Disconnect();
    // COM lets go of the references that handing the object out gave it;
    // screen readers still holding a proxy then hear that it is gone.
    CoDisconnectObject(object, 0);
    object->Release();
}

void KwRaiseEvent(HWND window, DWORD event, LONG part)
{
    NotifyWinEvent(event, window, OBJID_CLIENT, part);
}

void KwTextWithoutPrefix(HWND window, std::string& text)
{
    std::string caption(static_cast<size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    caption.resize(static_cast<size_t>(GetWindowTextA(window, &caption[0], static_cast<int>(caption.size()))));
    text.clear();
    for (size_t i = 0; i < caption.size(); ++i) {
        // '&' never stands inside a character of more than one byte.
        if (caption[i] == '&' && ++i >= caption.size()) break;
        text += caption[i];
    }
}

void KwWindowTextName(HWND window, LONG, std::string& text)
{
    KwTextWithoutPrefix(window, text);
}

LONG KwReadOnlyState(HWND, LONG, LONG state)
{
    return state | STATE_SYSTEM_READONLY;
}
