#include "tools/catalog/fetch.h"

#include <curl/curl.h>
#include <curl/header.h>

#include <memory>

namespace tw::tool {
namespace {

constexpr long connect_seconds = 10;
constexpr long most_redirects = 5;
constexpr std::size_t body_limit = 16 << 20;

struct CleanupEasy {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct FreeList {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// A body past the limit stops the transfer rather than filling memory.
std::size_t keep_body(char* data, std::size_t size, std::size_t count, void* target)
{
    auto* body = static_cast<std::string*>(target);
    const std::size_t bytes = size * count;
    if (body->size() + bytes > body_limit)
        return 0;
    body->append(data, bytes);
    return bytes;
}

// Null when a header could not be added.
std::unique_ptr<curl_slist, FreeList> header_list(const client::HeaderList& headers)
{
    std::unique_ptr<curl_slist, FreeList> list;
    for (const auto& [name, value] : headers) {
        curl_slist* longer = curl_slist_append(list.get(), (name + ": " + value).c_str());
        if (longer == nullptr)
            return nullptr;
        static_cast<void>(list.release());
        list.reset(longer);
    }
    return list;
}

void set_options(CURL* handle, const client::HttpRequest& request, const std::string& trust_file,
                 curl_slist* headers, std::string& body)
{
    const long limit_ms = request.timeout_ms < 1 ? 15000 : request.timeout_ms;
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, most_redirects);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connect_seconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limit_ms);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, keep_body);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    if (!trust_file.empty())
        curl_easy_setopt(handle, CURLOPT_CAINFO, trust_file.c_str());
}

// The last answer's own headers, after redirects, as the Installer's transport hands them over:
// names in lower case, values trimmed.
client::HeaderList final_headers(CURL* handle)
{
    client::HeaderList headers;
    for (curl_header* header = curl_easy_nextheader(handle, CURLH_HEADER, -1, nullptr); header != nullptr;
         header = curl_easy_nextheader(handle, CURLH_HEADER, -1, header)) {
        std::string name = header->name;
        for (char& c : name)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        std::string value = header->value;
        const auto first = value.find_first_not_of(" \t");
        const auto last = value.find_last_not_of(" \t");
        value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
        headers.emplace_back(std::move(name), std::move(value));
    }
    return headers;
}

}  // namespace

client::HttpResponse send_request(const client::HttpRequest& request, const std::string& trust_file)
{
    if (request.method != "GET")
        return client::failed_exchange("only GET requests are sent");
    const std::unique_ptr<CURL, CleanupEasy> handle(curl_easy_init());
    const auto headers = header_list(request.headers);
    if (!handle || (!request.headers.empty() && !headers))
        return client::failed_exchange("libcurl could not be set up");
    client::HttpResponse response;
    set_options(handle.get(), request, trust_file, headers.get(), response.body);
    if (const CURLcode code = curl_easy_perform(handle.get()); code != CURLE_OK)
        return client::failed_exchange(curl_easy_strerror(code));
    long status = 0;
    curl_easy_getinfo(handle.get(), CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<std::int32_t>(status);
    response.headers = final_headers(handle.get());
    return response;
}

}  // namespace tw::tool
