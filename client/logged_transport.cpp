#include "client/logged_transport.h"

#include <chrono>
#include <utility>

namespace tw::client {
namespace {

class LoggedTransport final : public Transport {
public:
    LoggedTransport(std::shared_ptr<Transport> inner, StepSink sink) : inner_(std::move(inner)), sink_(sink) {}

    HttpResponse send(const HttpRequest& request) override
    {
        const auto start = std::chrono::steady_clock::now();
        HttpResponse response = inner_->send(request);
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        try {
            sink_(support_log::RequestStep{request.method, request.url, response.status, response.body.size(),
                                           spent.count(), response.error});
        } catch (...) {
        }
        return response;
    }

private:
    std::shared_ptr<Transport> inner_;
    StepSink sink_;
};

}  // namespace

std::shared_ptr<Transport> log_exchanges(std::shared_ptr<Transport> inner, StepSink sink)
{
    return std::make_shared<LoggedTransport>(std::move(inner), sink);
}

}  // namespace tw::client
