#pragma once
// The DACL a staging folder gets, apart from setting it, so that it can be read where the file
// system keeps none (Wine turns a DACL into Unix mode bits).

#include <windows.h>

#include <memory>

namespace tw::download {

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalFreer>;

// Protected, for the current user and OWNER RIGHTS: read, run, list and delete, nothing more.
// Null when the current user cannot be read.
SecurityDescriptor staging_folder_descriptor();

}  // namespace tw::download
