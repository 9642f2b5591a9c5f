#include "app/Startup.h"

// Linked into every window test: the main menu, the shutdown window and the About window are
// registered before the first test runs, as start-up registers them in the program.
namespace {
[[maybe_unused]] const bool installed = (gInstallAppHooks(), true);
} // namespace
