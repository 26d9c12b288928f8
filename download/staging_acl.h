#pragma once
// The DACL a staging folder gets, apart from setting it, so that it can be read where the file
// system keeps none (Wine turns a DACL into Unix mode bits).

#include "client/platform/scoped_win.h"

#include <windows.h>

namespace tw::download {

using SecurityDescriptor = client::platform::LocalMemory<void>;

// Protected, for the current user and OWNER RIGHTS: read, run, list and delete, nothing more.
// Null when the current user cannot be read.
SecurityDescriptor staging_folder_descriptor();

}  // namespace tw::download
