#pragma once
// A transport that loses the stick's acknowledgement (C0 33) of one block address:
// a block write the stick never confirmed, while every other write goes through.

#include <cstdint>
#include <optional>

#include "link/forwarding_transport.h"

namespace ormid::test {

class LostAcknowledgement final : public ForwardingTransport {
public:
    // `inner` must outlive this transport.
    LostAcknowledgement(HidTransport& inner, std::uint16_t address) : ForwardingTransport(inner), address_(address) {}

    std::optional<Report> readData() override
    {
        std::optional<Report> report = ForwardingTransport::readData();
        const bool lost = report && (*report)[0] == 0xC0 && (*report)[1] == 0x33
            && ((*report)[2] | ((*report)[3] << 8)) == address_;
        return lost ? std::nullopt : report;
    }

private:
    std::uint16_t address_;
};

} // namespace ormid::test
