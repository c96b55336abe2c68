#pragma once
// Whether a dialogs back end can put a question to a person at all. A back end that cannot
// (no display, no dialog program) answers every question No; callers that would lose data
// on a No ask first and take a safe path of their own instead.

#include "platform/dialogs.h"

namespace platform {

class AskCapability {
public:
    virtual ~AskCapability() = default;
    virtual bool canAsk() const = 0;
};

// True when the back end can ask: its own answer when it implements AskCapability, false
// for the non-interactive default, true for any other back end.
bool canAsk(Dialogs& backEnd);

}  // namespace platform
