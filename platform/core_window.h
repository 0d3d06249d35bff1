// The window class of the platform the build picked: CoreWindow, from the header its library names.
#pragma once

#include "platform/platform.h"
#include TESSELUNE_PLATFORM_WINDOW

static_assert(PlatformWindow<CoreWindow>,
              "the platform's window class provides what platform/platform.h lists");
