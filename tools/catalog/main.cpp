#include "tools/catalog/tool.h"

#include <curl/curl.h>

#include <iostream>

namespace {

// libcurl's global state, set up once while the program is still one thread.
class CurlGlobal {
public:
    CurlGlobal() : ok_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}
    ~CurlGlobal()
    {
        if (ok_)
            curl_global_cleanup();
    }
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;

    explicit operator bool() const { return ok_; }

private:
    bool ok_;
};

}  // namespace

int main(int argc, char** argv)
{
    const CurlGlobal curl;
    if (!curl) {
        std::cerr << "tarnwick-catalog: libcurl could not be set up\n";
        return 2;
    }
    return tw::tool::run_tool({argv + 1, argv + argc}, std::cout, std::cerr);
}
