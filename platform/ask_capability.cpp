#include "platform/ask_capability.h"

#include "platform/default_dialogs.h"

namespace platform {

bool canAsk(Dialogs& backEnd) {
    if (auto* c = dynamic_cast<AskCapability*>(&backEnd)) return c->canAsk();
    return dynamic_cast<DefaultDialogs*>(&backEnd) == nullptr;
}

}  // namespace platform
