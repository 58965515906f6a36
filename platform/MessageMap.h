// Message maps: one static routing table per class, searched in table order, then the
// base class's table. Each entry carries a small typed trampoline that casts the target
// back to the class that declared the handler, so no member-pointer casts are needed.
#pragma once

#include "Afx.h"

class CCmdTarget;

typedef LRESULT (*AFX_PHANDLER)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;      // window message, WM_COMMAND for commands; 0 ends the table
    UINT nCode;         // notification code for WM_COMMAND
    UINT nID;           // first control or command number
    UINT nLastID;       // last control or command number
    AFX_PHANDLER pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* pBaseMap;
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Trampolines, one per handler signature. The handler's own class comes from the type of
// the member pointer, so a table may name a base class's handler (CWinApp::OnHelp).
template <class>
struct AfxMemberClass;
template <class R, class C, class... Args>
struct AfxMemberClass<R (C::*)(Args...)>
{
    using type = C;
};
template <auto pfn>
using AfxHandlerClass = typename AfxMemberClass<decltype(pfn)>::type;

template <auto pfn>
LRESULT AfxCall_v(CCmdTarget* p, WPARAM, LPARAM)
{
    (static_cast<AfxHandlerClass<pfn>*>(p)->*pfn)();
    return 0;
}

template <auto pfn>
LRESULT AfxCall_wl(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    (static_cast<AfxHandlerClass<pfn>*>(p)->*pfn)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <auto pfn>
LRESULT AfxCall_w(CCmdTarget* p, WPARAM wParam, LPARAM)
{
    (static_cast<AfxHandlerClass<pfn>*>(p)->*pfn)(static_cast<UINT_PTR>(wParam));
    return 0;
}

template <auto pfn>
LRESULT AfxCall_lwl(CCmdTarget* p, WPARAM wParam, LPARAM lParam)
{
    return (static_cast<AfxHandlerClass<pfn>*>(p)->*pfn)(wParam, lParam);
}

template <auto pfn>
LRESULT AfxCall_h(CCmdTarget* p, WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>((static_cast<AfxHandlerClass<pfn>*>(p)->*pfn)());
}

#define DECLARE_MESSAGE_MAP()                                   \
protected:                                                      \
    static const AFX_MSGMAP_ENTRY _messageEntries[];            \
public:                                                         \
    static const AFX_MSGMAP messageMap;                         \
protected:                                                      \
    virtual const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap; } \
    const AFX_MSGMAP theClass::messageMap = { &baseClass::messageMap,                   \
                                              &theClass::_messageEntries[0] };          \
    typedef theClass ThisClass;                                                         \
    const AFX_MSGMAP_ENTRY theClass::_messageEntries[] = {

#define END_MESSAGE_MAP() { 0, 0, 0, 0, nullptr } };

#define ON_COMMAND(id, memberFxn) \
    { WM_COMMAND, 0, (id), (id), &AfxCall_v<&ThisClass::memberFxn> },
#define ON_BN_CLICKED(id, memberFxn) \
    { WM_COMMAND, BN_CLICKED, (id), (id), &AfxCall_v<&ThisClass::memberFxn> },
// Any window message, to a handler LRESULT OnX(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn) \
    { (message), 0, 0, 0, &AfxCall_lwl<&ThisClass::memberFxn> },
#define ON_WM_SYSCOMMAND() \
    { WM_SYSCOMMAND, 0, 0, 0, &AfxCall_wl<&ThisClass::OnSysCommand> },
#define ON_WM_PAINT() \
    { WM_PAINT, 0, 0, 0, &AfxCall_v<&ThisClass::OnPaint> },
#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, 0, &AfxCall_h<&ThisClass::OnQueryDragIcon> },
#define ON_WM_CLOSE() \
    { WM_CLOSE, 0, 0, 0, &AfxCall_v<&ThisClass::OnClose> },
#define ON_WM_TIMER() \
    { WM_TIMER, 0, 0, 0, &AfxCall_w<&ThisClass::OnTimer> },
