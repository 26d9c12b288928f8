// The signer the Installer reads from each file, for comparing with what tarnwick-catalog reads:
//   twi-show-signer PUBLISHER FILE...
// prints one JSON line a file: {"ok": true|false, "signer": "...", "message": "..."}.

#include "client/scoped_win.h"
#include "client/text_win.h"
#include "download/checks_win.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string json_string(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Held as the downloader holds a finished download.
tw::download::SignatureCheck read_signer(const std::wstring& path, const std::wstring& publisher)
{
    const tw::client::platform::FileHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return {false, L"", L"cannot open the file"};
    return tw::download::check_signature(file.get(), path, publisher);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    using tw::client::platform::narrow;
    if (argc < 3) {
        std::fputs("usage: twi-show-signer PUBLISHER FILE...\n", stderr);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const auto check = read_signer(argv[i], argv[1]);
        std::printf("{\"ok\": %s, \"signer\": %s, \"message\": %s}\n", check.ok ? "true" : "false",
                    json_string(narrow(check.signer)).c_str(), json_string(narrow(check.message)).c_str());
    }
    return 0;
}
