#include "base/AppHooks.h"

AppHooks& gAppHooks() {
    static AppHooks hooks;
    return hooks;
}
