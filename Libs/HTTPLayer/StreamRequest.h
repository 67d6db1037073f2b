#pragma once
// A request for a raw byte stream to a host and port, or to a network service. It has no handlers
// of its own: the caller reads and writes through its stream task.

#include "Libs/HTTPLayer/Request.h"

namespace http {

class StreamRequest : public Request {
    QUILLORA_CLASS(StreamRequest)

    // The description of a stream task: host name and port, or a network service (then the host
    // name is empty and the port 0). No adapter applies to it.
    struct Streamable : TaskConvertible {
        Streamable(std::string host, int portNumber) : hostName(std::move(host)), port(portNumber) {}
        explicit Streamable(std::shared_ptr<const net::NetService> service) : port(0), netService(std::move(service)) {}
        std::string hostName;
        int port;
        std::shared_ptr<const net::NetService> netService;
        Result<std::shared_ptr<net::URLSessionTask>> makeTask(const std::shared_ptr<net::URLSession>& session,
                                                              const std::shared_ptr<RequestAdapter>& adapter,
                                                              const std::shared_ptr<dispatch::Queue>& queue) const override;
    };

    using Request::Request;
};

} // namespace http
