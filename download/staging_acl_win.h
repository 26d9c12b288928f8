#pragma once
// Closing a staging folder to additions, and the DACL that does it, readable apart from setting
// it where the file system keeps none (Wine turns a DACL into Unix mode bits).

#include "client/scoped_win.h"

#include <windows.h>

#include <string>

namespace tw::download {

using SecurityDescriptor = client::platform::LocalMemory<void>;

// Once the file is written and held: gives the staged file's folder a protected DACL that lets
// the user read, run and delete, but not add files or change the DACL. False when it could not be set.
bool protect_staging_folder(const std::wstring& staged_path);

// Protected, for the current user and OWNER RIGHTS: read, run, list and delete, nothing more.
// Holds none when the current user cannot be read.
SecurityDescriptor staging_folder_descriptor();

// What the folder is created with, so that it is never open to anyone else, not for a moment:
// the descriptor above, and for the user the rights to add a file to this folder alone and to
// write its DACL, which the download needs and which protect_staging_folder then takes away. A
// DACL cannot tell this process from another of the same user, so those rights live until the
// file is written.
SecurityDescriptor new_staging_folder_descriptor();

// The current user's security identifier; empty when it cannot be read.
std::wstring current_user_sid();

}  // namespace tw::download
