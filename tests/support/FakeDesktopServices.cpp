// The fakes are defined in the header; this unit gives their meta-objects a home.
#include "support/FakeDesktopServices.h"
