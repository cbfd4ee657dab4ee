// The scratch folder of the device and screen tests is the shared one.
#pragma once

#include "support/TempFolder.h"
