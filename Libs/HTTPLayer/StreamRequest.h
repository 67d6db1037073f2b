#pragma once
// A request for a raw byte stream to a host and port. It has no handlers of its own; the platform
// makes the task but offers no reading or writing on it yet.

#include "Libs/HTTPLayer/Request.h"

namespace http {

class StreamRequest : public Request {
    QUILLORA_CLASS(StreamRequest)

    // The description of a stream task: host name and port. No adapter applies to it.
    struct Streamable : TaskConvertible {
        Streamable(std::string host, int portNumber) : hostName(std::move(host)), port(portNumber) {}
        std::string hostName;
        int port;
        Result<std::shared_ptr<net::URLSessionTask>> makeTask(const std::shared_ptr<net::URLSession>& session,
                                                              const std::shared_ptr<RequestAdapter>& adapter,
                                                              const std::shared_ptr<dispatch::Queue>& queue) const override;
    };

    using Request::Request;
};

} // namespace http
