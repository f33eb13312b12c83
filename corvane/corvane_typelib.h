// CORVANELib, the control's type library, as data.
#pragma once

#include "platform/com/typelib.h"

const com::TypeLibraryInfo& CorvaneTypeLib();
