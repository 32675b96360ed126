#pragma once
// A transport that keeps a log of what the program sent, and how often it had read
// before each report; everything goes on to the inner transport unchanged.

#include <vector>

#include "link/forwarding_transport.h"

namespace ormid::test {

// What the program sent, and how many reads it had made before each report.
struct TrafficLog {
    std::vector<std::vector<Byte>> written;
    std::vector<int> readsBefore;
    int reads = 0;
};

class LoggingTransport final : public ForwardingTransport {
public:
    // `inner` and `log` must outlive this transport.
    LoggingTransport(HidTransport& inner, TrafficLog& log) : ForwardingTransport(inner), log_(log) {}

    void writeData(ByteSpan report) override
    {
        log_.written.emplace_back(report.begin(), report.end());
        log_.readsBefore.push_back(log_.reads);
        ForwardingTransport::writeData(report);
    }
    std::optional<Report> readData() override
    {
        ++log_.reads;
        return ForwardingTransport::readData();
    }

private:
    TrafficLog& log_;
};

} // namespace ormid::test
