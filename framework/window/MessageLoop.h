// The per-thread message loop. Its MessageLoop record holds the loop's
// extension points: a dialog for keyboard navigation, an accelerator table
// and message filters (owned by the record, freed when the loop ends).
#pragma once
#include "core/List.h"
#include "core/Base.h"
#include "core/Win.h"
#include "window/Function.h"

namespace zo {

struct MessageLoop : public _class {
    typedef Function<bool, tagMSG*> Filter;   // true: the message was consumed

    HWND dialog = nullptr;           // IsDialogMessageW target, asked WM_PRETRANSLATE first
    HACCEL accelerators = nullptr;   // TranslateAcceleratorW table
    IntegerList<Filter*> filters;    // owned, called in order

    MessageLoop() {}
    ~MessageLoop();
    // Takes ownership of a heap Filter; false (and the filter freed) when
    // the list cannot grow.
    bool AddFilter(Filter* f);
};

// The calling thread's loop record, made on first use, so a caller can set
// the extension points before RunMessageLoop.
MessageLoop* GetMessageLoop();

// Runs the thread's loop until WM_QUIT and returns its exit code. The record
// is destroyed when the outermost loop of the thread ends.
int RunMessageLoop();

} // namespace zo
