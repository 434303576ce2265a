// What assistive technology reads from a window: an IAccessible behind WM_GETOBJECT that
// leaves location, navigation and hit testing to the system's standard object and asks the
// window's owner for the rest.
#pragma once
#include <windows.h>

#include <string>

// IAccessible's IID: the import libraries declare it but carry no definition that links.
extern const IID kIidAccessible;

// What one window says about itself. An empty field leaves the standard object's answer.
struct AccessibleFacts {
    std::wstring name;
    long role = 0;
    long state = 0;  // STATE_SYSTEM_* flags added to the standard object's
    bool hasValue = false;
    std::wstring value;
    std::wstring defaultAction;  // empty: no default action
};

// Answers for the windows given to AttachAccessible. Called only on the window's own thread,
// whatever thread the caller of the accessible object is on.
class CAccessibleSource {
public:
    virtual ~CAccessibleSource() = default;
    // withValue: the value is wanted too (it may cost a device read).
    virtual void Describe(HWND window, bool withValue, AccessibleFacts& facts) = 0;
    virtual HRESULT SetValue(HWND window, const std::wstring& value) = 0;
    virtual HRESULT DoDefaultAction(HWND window) = 0;
};

// From now until the window is destroyed, WM_GETOBJECT (OBJID_CLIENT) answers with an
// accessible object that asks `source`, which must outlive the window. The window also raises
// the state and name changes that show on it by themselves: a button pushed or released, an
// image swapped, enabled or disabled, a new text.
bool AttachAccessible(HWND window, CAccessibleSource* source);

// Tells assistive technology that the value of the window's client object changed.
void NotifyValueChanged(HWND window);
