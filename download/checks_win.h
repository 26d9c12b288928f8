#pragma once
// The two checks a download must pass before it is run: its SHA-256 against the catalog's value
// and its Authenticode signature against the catalog's publisher. Both read through the handle
// the downloader holds, so what was checked is what gets run.

#include "client/scoped_win.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace tw::download {

// The SHA-256 provider and a hash made from it; empty owners when bcrypt refuses. Declare the
// hash after its provider, which must outlive it.
client::platform::AlgorithmHandle open_sha256();
client::platform::HashHandle new_hash(const client::platform::AlgorithmHandle& provider);

// 64 lower-case hexadecimal characters of the whole file's SHA-256, read from offset 0; empty on
// any failure, which callers treat as a mismatch, and once `cancel` (may be null) reads true,
// which is looked at between reads.
std::string file_sha256_hex(HANDLE file, const std::atomic<bool>* cancel = nullptr);

struct SignatureCheck {
    bool ok = false;          // valid signature by exactly the expected publisher
    std::wstring signer;      // the signing certificate's common name; empty when it has none
    std::wstring message;     // why it failed; empty when ok
};

// `publisher` must match the signer's name exactly, letter case included.
SignatureCheck check_signature(HANDLE file, const std::wstring& path, const std::wstring& publisher);

}  // namespace tw::download
