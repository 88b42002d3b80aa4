// Lets another thread end an HTTP request in flight (a stopping monitor): the transport
// registers how to close its request while it runs, Cancel closes it and refuses later requests
// until Reset.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>

namespace wrenpost {

class HttpCancellation {
public:
    void Cancel();
    void Reset();
    // Registers the closer of the request about to run (one at a time); 0 when cancelled
    // already, else the ticket for Leave.
    [[nodiscard]] std::uint64_t Enter(std::function<void()> closer);
    // Ends the registration; true when this request's closer ran, so the handles it closed are
    // gone. A request abandoned by an earlier session may leave after a newer one entered.
    [[nodiscard]] bool Leave(std::uint64_t ticket);

private:
    std::mutex mutex_;
    bool cancelled_ = false;
    std::uint64_t lastTicket_ = 0;
    std::uint64_t current_ = 0;  // the ticket of the registered closer
    std::function<void()> closer_;
    std::set<std::uint64_t> closed_;
};

}  // namespace wrenpost
