// IWnd: the root of every framework window. This part holds the window's
// message table: ranges of message ids, each with its own Delegate of
// handlers (owned by the table), consulted first for every message.
#pragma once
#include "core/Base.h"
#include "core/List.h"
#include "core/ObjectList.h"
#include "window/Delegate.h"
#include "window/Message.h"

namespace zo {

class IWnd : public _class {
public:
    // An inclusive range of message ids; the key of one table entry.
    struct _UPOINT {
        unsigned first;
        unsigned last;
        bool operator==(const _UPOINT& o) const { return first == o.first && last == o.last; }
    };
    typedef Delegate<Message*, IWnd*> MessageDelegate;

    // The handlers of exactly this range, appended empty when absent; null
    // only when memory runs out.
    MessageDelegate* GetMessageDelegate(unsigned first, unsigned last);

    template <class T, class M>
    unsigned AddMessageHandler(unsigned first, unsigned last, T* object,
                               void (M::*member)(Message*, IWnd*)) {
        MessageDelegate* d = GetMessageDelegate(first, last);
        return d ? d->Add(object, member) : NPOS;
    }

    // Removes the first entry of this handler in exactly this range; a range
    // that was never registered is not created for it.
    template <class T, class M>
    bool RemoveMessageHandler(unsigned first, unsigned last, T* object,
                              void (M::*member)(Message*, IWnd*)) {
        unsigned i = msgKeys.IndexOf(_UPOINT{first, last});
        if (i == NPOS) return false;
        MessageDelegate* d = msgHandlers.Element(i);
        return d->Delete(d->IndexOf(object, member));
    }

    // Runs every range that holds the message id, in registration order,
    // each handler in its order, whatever they set; the window procedure
    // then acts on the returned record's flags and result.
    Message RunMessageTable(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    Diction<_UPOINT> msgKeys;                // unique, in registration order
    ObjectList<MessageDelegate> msgHandlers;  // index-parallel to msgKeys
};

} // namespace zo
