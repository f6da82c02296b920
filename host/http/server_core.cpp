#include "host/http/server_core.h"

#include <exception>

#include "host/http/descriptor_limit.h"

namespace tmhost {

namespace {

HttpOptions within_system(HttpOptions options) {
    options.max_connections = connections_within(options.max_connections, raise_descriptor_limit());
    if (options.quick_threads == 0) options.quick_threads = 1;
    if (options.long_threads == 0) options.long_threads = 1;
    return options;
}

HttpResponse failure(int status, std::string line) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(line) + "\n";
    return response;
}

}  // namespace

ServerCore::ServerCore(HttpOptions wanted, HttpHandler answering)
    : options(within_system(std::move(wanted))),
      handler(std::move(answering)),
      quick(options.quick_threads, options.worker_stack_bytes),
      slow(options.long_threads, options.worker_stack_bytes) {}

HttpResponse ServerCore::answer(const HttpRequest& request) const {
    if (stopping) return failure(503, "the server is stopping");
    try {
        return handler(request);
    } catch (const std::exception& fault) {
        return failure(500, fault.what());
    } catch (...) {
        return failure(500, "the request's handler failed");
    }
}

}  // namespace tmhost
