#pragma once
// A transport for tests: answers every request with one canned response and keeps what it was sent.

#include "client/http.h"

#include <utility>
#include <vector>

namespace tw::client::testing {

class CannedTransport : public Transport {
public:
    explicit CannedTransport(HttpResponse answer) : answer_(std::move(answer)) {}

    HttpResponse send(const HttpRequest& request) override
    {
        sent.push_back(request);
        return answer_;
    }

    std::vector<HttpRequest> sent;

private:
    HttpResponse answer_;
};

}  // namespace tw::client::testing
