// The USB Stick mode link engine over the simulated stick and device on a virtual
// clock, with the replies passed, lost, held up, altered, doubled or joined by strays,
// the stick pulled out and plugged in, and the user's read, write, update and image
// edits at any moment. A stick plugged in again starts the program afresh (the window
// restarts itself, ormid-cli has ended), with a new engine; the device keeps an update
// it is in the middle of across all of that. After every step:
//   - no write frame goes out unless a complete read came in since the last read
//     frame or the device was last gone;
//   - no frame of a second read, write or update goes out while one runs, and a write
//     or an update starts only when the user starts it (a read also when the device
//     announces itself);
//   - a frame goes out at most six times in a row (the first try and five repeats);
//     a sync read (one byte) belongs to the operation that runs or starts;
//   - the pages sent never exceed the firmware's pages;
//   - a write reported done means the device holds the image the write took, and an
//     update reported done means it holds the firmware and announces its version
//     (unless a report the device never sent reached the engine since the last replies
//     it may still count on were due);
// and when the script ends the engine comes to rest: nothing stays busy for ever.

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "link/forwarding_transport.h"
#include "link/link_engine.h"
#include "sim/sim_transport.h"
#include "sim/stick_model.h"

namespace ormid::fuzz {
namespace {

using sim::Millis;

constexpr Millis kTickMs = LinkEngine::kTickPeriod.count();
// The engine counts on a reply within kLateReplyTicks of its frame or never; a reply
// held up longer than this (a tick short, as frames go out within a tick) is lost.
constexpr Millis kLatestReplyMs = (LinkEngine::kLateReplyTicks - 1) * kTickMs;
// However the script left things, the engine is at rest well within this.
constexpr int kDrainTicks = 5000;

enum class Chain { read, write, update };

// The chain each link frame belongs to, by its operation (the byte after CA C5).
struct FrameKind {
    Byte op;
    Chain chain;
};
constexpr FrameKind kFrameKinds[] = {
    {0x02, Chain::read},   // Read Memory
    {0x04, Chain::write},  // Write Memory
    {0x05, Chain::write},  // Write EE
    {0x08, Chain::update}, // firmware segment
    {0x0E, Chain::update}, // Reset
};

// A one-byte Read Memory: the engine's sync read, no read of the device image.
bool isSyncRead(const std::vector<Byte>& frame)
{
    return frame.size() > 4 && frame[0] == kLinkFramePrefix[0] && frame[1] == kLinkFramePrefix[1] && frame[2] == 0x02
        && frame[4] == kSyncReadLength;
}

std::optional<Chain> chainOf(const std::vector<Byte>& frame)
{
    if (frame.size() < 3 || frame[0] != kLinkFramePrefix[0] || frame[1] != kLinkFramePrefix[1])
        return std::nullopt;
    const auto* kind = std::find_if(std::begin(kFrameKinds), std::end(kFrameKinds),
                                    [&](const FrameKind& k) { return k.op == frame[2]; });
    return kind == std::end(kFrameKinds) ? std::nullopt : std::optional<Chain>(kind->chain);
}

// Outcomes after which the chain that ran is over (a new one may start in the same tick:
// a read when the device announces itself).
constexpr LinkOutcome kChainEnds[] = {
    LinkOutcome::deviceGone,     LinkOutcome::readDone,          LinkOutcome::readFailed,
    LinkOutcome::writeDone,      LinkOutcome::writeFailed,       LinkOutcome::updateDone,
    LinkOutcome::updateNotTaken, LinkOutcome::updateUnconfirmed, LinkOutcome::updateNotStarted,
    LinkOutcome::updateRefused,  LinkOutcome::updateUnanswered,
};

// What lies between the stick and the engine: a first-in first-out line for the
// stick's replies, which the script lets through, loses, holds up (and everything
// behind it), alters, doubles, or joins with reports the stick never sent. It also
// watches every frame the engine sends and checks the frame rules.
class Wire final : public ForwardingTransport {
public:
    enum class Fault { none, drop, delay, alter, duplicate };

    // `replyDelay`: how late the stick itself sends its replies.
    Wire(sim::SimTransport& stick, const sim::VirtualClock& clock, Millis replyDelay)
        : ForwardingTransport(stick), clock_(clock), replyDelay_(replyDelay)
    {
    }

    // The fault for the next reply the stick sends; `arg` says how long or which byte.
    void plan(Fault fault, Byte arg)
    {
        fault_ = fault;
        faultArg_ = arg;
    }
    void inject(std::vector<Byte> report) { line_.push_back({Report(std::move(report)), true, clock_.now()}); }

    void writeData(ByteSpan report) override
    {
        checkFrame(std::vector<Byte>(report.begin(), report.end()));
        ForwardingTransport::writeData(report);
    }

    std::optional<Report> readData() override
    {
        while (std::optional<Report> reply = ForwardingTransport::readData())
            carry(std::move(*reply));
        while (!line_.empty() && heldUntil_ <= clock_.now()) {
            Carried next = std::move(line_.front());
            line_.pop_front();
            if (!next.forged && clock_.now() - next.carriedAt + replyDelay_ > kLatestReplyMs)
                continue;
            if (next.forged)
                lastForged_ = clock_.now();
            return std::move(next.report);
        }
        return std::nullopt;
    }

    // A call into the engine that may start a chain of `starts`.
    void enter(Chain starts) { mayStart_ = starts; }
    // After the call: an engine that is not busy runs no chain any more.
    void leave(bool busy)
    {
        mayStart_.reset();
        if (!busy)
            endChain();
    }
    // The engine's outcomes of one tick.
    void outcomes(const std::vector<LinkOutcome>& outcomes)
    {
        for (const LinkOutcome outcome : outcomes) {
            if (outcome == LinkOutcome::readDone)
                completeRead_ = true;
            if (outcome == LinkOutcome::deviceGone)
                completeRead_ = false;
            if (outcome == LinkOutcome::pageSent)
                FUZZ_CHECK(++pagesSent_ <= firmwarePages_);
            if (std::find(std::begin(kChainEnds), std::end(kChainEnds), outcome) != std::end(kChainEnds))
                endChain();
        }
    }
    // The program started afresh on a new connection: nothing runs, nothing has been
    // read, and what the old connection carried is gone with it.
    void programRestarted()
    {
        endChain();
        completeRead_ = false;
        line_.clear();
        heldUntil_ = 0;
    }

    // True when no report the stick never sent reached the engine while the chain ran,
    // nor while replies to earlier frames were still owed (they could have been taken
    // for this chain's).
    bool chainTrusted() const { return !lastForged_ || *lastForged_ + kLatestReplyMs + kTickMs < chainStart_; }
    void firmwarePages(int pages) { firmwarePages_ = pages; }

private:
    struct Carried {
        Report report;
        bool forged = false; // the stick never sent it so
        Millis carriedAt = 0;
    };

    void carry(Report reply)
    {
        const Fault fault = std::exchange(fault_, Fault::none);
        switch (fault) {
        case Fault::drop:
            return;
        case Fault::delay:
            heldUntil_ = std::max(heldUntil_, clock_.now() + (1 + faultArg_ % 64) * kTickMs);
            break;
        case Fault::alter: {
            std::vector<Byte> bytes = reply.bytes();
            if (!bytes.empty())
                bytes[faultArg_ % bytes.size()] ^= static_cast<Byte>(1u << (faultArg_ >> 5));
            line_.push_back({Report(std::move(bytes)), true, clock_.now()});
            return;
        }
        case Fault::duplicate:
            line_.push_back({reply, false, clock_.now()});
            line_.push_back({std::move(reply), true, clock_.now()});
            return;
        case Fault::none:
            break;
        }
        line_.push_back({std::move(reply), false, clock_.now()});
    }

    void startChain(Chain chain)
    {
        chainStart_ = clock_.now();
        pagesSent_ = 0;
        running_ = chain;
    }

    void endChain()
    {
        running_.reset();
        tries_ = 0;
    }

    void checkFrame(const std::vector<Byte>& frame)
    {
        if (isSyncRead(frame)) {
            FUZZ_CHECK(running_ || mayStart_);
            if (!running_)
                startChain(*mayStart_);
            return;
        }
        const std::optional<Chain> chain = chainOf(frame);
        FUZZ_CHECK(chain.has_value()); // the engine sends link frames only
        FUZZ_CHECK(running_ ? *running_ == *chain : mayStart_ == chain);
        if (*chain == Chain::write)
            FUZZ_CHECK(completeRead_);
        if (*chain == Chain::read)
            completeRead_ = false;
        if (!running_)
            startChain(*chain);
        tries_ = frame == lastFrame_ ? tries_ + 1 : 1;
        FUZZ_CHECK(tries_ <= LinkEngine::kMaxTries);
        lastFrame_ = frame;
    }

    const sim::VirtualClock& clock_;
    Millis replyDelay_;
    std::deque<Carried> line_;
    Millis heldUntil_ = 0;
    Fault fault_ = Fault::none;
    Byte faultArg_ = 0;

    std::optional<Chain> running_;
    std::optional<Chain> mayStart_;
    Millis chainStart_ = 0;
    std::optional<Millis> lastForged_;
    bool completeRead_ = false;
    std::vector<Byte> lastFrame_;
    int tries_ = 0;
    int pagesSent_ = 0;
    int firmwarePages_ = 0;
};

// Link replies a stray may carry: every code the engine knows, the stick's B2 50, and one it does not.
constexpr Byte kStrayCodes[] = {0x5F, 0x51, 0x52, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x50, 0x60};

struct Firmware {
    std::vector<Byte> image; // exactly the pages the engine sends
    std::size_t size = 0;
    Byte version = 0;
};

class Run {
public:
    explicit Run(FuzzInput& script) : script_(script)
    {
        const Byte setup = script_.byte();
        sim::StickConfig config;
        config.mode = sim::StickMode::usb;
        config.deviceConnected = (setup & 0x07) != 0;
        config.deviceFirmware = script_.byte();
        config.identifyPeriod = script_.pick({2000, 2000, 300, 0});
        sim::Faults faults;
        faults.refuseWriteMemory = (setup >> 3) & 0x07;
        faults.refuseWriteEe = (setup >> 6) & 0x03;
        const Byte fault = script_.byte();
        if (fault & 0x01)
            faults.corruptReadAt = static_cast<Byte>(kReadMemoryChunk * (fault >> 4));
        if (fault & 0x02)
            faults.refusePage = (fault >> 4) & 0x03;
        faults.refusePageCode = (fault & 0x04) ? '[' : 'Y';
        if (fault & 0x08)
            faults.dropAfterReports = 20 + script_.byte();
        faults.replyDelay = script_.pick({0, 0, 0, 0, 300, 6000});

        const int pages = 1 + static_cast<int>(script_.pick(4));
        firmware_.size = (pages - 1) * kPageBytes + 1 + script_.pick(kPageBytes);
        firmware_.image.resize(pages * kPageBytes);
        const Byte seed = script_.byte();
        for (std::size_t i = 0; i < firmware_.image.size(); ++i)
            firmware_.image[i] = static_cast<Byte>(seed + 7 * i);
        firmware_.version = script_.byte();
        config.firmwareAfterUpdate = script_.flag() ? firmware_.version : config.deviceFirmware;

        sim::StickState state;
        for (std::size_t i = 0; i < state.deviceMemory.size(); ++i)
            state.deviceMemory[i] = static_cast<Byte>(255 - i);
        model_.emplace(config, faults, state);
        stick_.emplace(*model_, clock_);
        wire_.emplace(*stick_, clock_, faults.replyDelay);
        options_.skipFW = script_.flag();
        options_.embeddedFwVersion = firmware_.version;
        startProgram();
    }

    void play()
    {
        while (!script_.empty())
            step();
    }

    // With the script over nothing more goes wrong on the wire; whatever still runs
    // ends by itself, acknowledged, refused or timed out.
    void drain()
    {
        wire_->plan(Wire::Fault::none, 0);
        for (int i = 0; i < kDrainTicks && engine_->busy(); ++i)
            tick();
        FUZZ_CHECK(!engine_->busy());
    }

private:
    // Start-up: its read-block command lets the simulated device announce itself, then
    // the engine runs.
    void startProgram()
    {
        stick_->writeData(readBlockCommand(kControlBlockAddress));
        engine_.emplace(*wire_, image_, options_, [](const std::string&) {});
        engine_->start();
        setFirmware();
    }

    void setFirmware()
    {
        if (engine_->setFirmware(firmware_.image, firmware_.size, firmware_.version))
            wire_->firmwarePages(engine_->firmwarePages());
    }

    // Runs one call into the engine, which may start a chain of `starts`.
    template <typename Call>
    auto call(Chain starts, Call engineCall)
    {
        wire_->enter(starts);
        const auto result = engineCall();
        wire_->leave(engine_->busy());
        return result;
    }

    void tick()
    {
        clock_.advance(kTickMs);
        const std::vector<LinkOutcome> outcomes = call(Chain::read, [&] { return engine_->tick(); });
        wire_->outcomes(outcomes);
        for (const LinkOutcome outcome : outcomes)
            checkOutcome(outcome);
        FUZZ_CHECK(engine_->firmwareProgress() <= engine_->firmwarePages());
    }

    void checkOutcome(LinkOutcome outcome)
    {
        const sim::StickState& device = model_->state();
        if (outcome == LinkOutcome::writeDone && wire_->chainTrusted())
            FUZZ_CHECK(std::equal(written_.begin(), written_.begin() + kWrittenBytes, device.deviceMemory.begin()));
        if (outcome == LinkOutcome::updateDone && wire_->chainTrusted()) {
            FUZZ_CHECK(device.receivedFirmware == firmware_.image);
            FUZZ_CHECK(device.deviceFirmware == firmware_.version);
        }
    }

    void step()
    {
        const Byte op = script_.byte();
        const Byte arg = static_cast<Byte>(op >> 3);
        switch (op & 0x07) {
        case 0:
        case 1:
            tick();
            return;
        case 2:
            wire_->plan(Wire::Fault::drop, arg);
            tick();
            return;
        case 3:
            wire_->plan(Wire::Fault::delay, script_.byte());
            tick();
            return;
        case 4:
            wire_->plan(Wire::Fault::alter, script_.byte());
            tick();
            return;
        case 5:
            wire_->plan(Wire::Fault::duplicate, arg);
            tick();
            return;
        case 6:
            injectStray(arg);
            return;
        default:
            userAction(arg);
            return;
        }
    }

    void injectStray(Byte arg)
    {
        std::vector<Byte> report(stick_->getInputReportLength(), 0);
        report[0] = (arg & 0x10) ? script_.byte() : kLinkReply;
        report[1] = kStrayCodes[arg % std::size(kStrayCodes)];
        const std::vector<Byte> payload = script_.chunk(8);
        std::copy(payload.begin(), payload.end(), report.begin() + 2);
        wire_->inject(std::move(report));
    }

    void userAction(Byte arg)
    {
        switch (arg % 9) {
        case 0:
            if (call(Chain::write, [&] { return engine_->startWrite(); }) == LinkStart::started)
                std::copy_n(image_.begin(), kWrittenBytes, written_.begin());
            return;
        case 1:
            call(Chain::read, [&] { return engine_->startRead(); });
            return;
        case 2:
            call(Chain::update, [&] { return engine_->startUpdate(); });
            return;
        case 3:
            if (!engine_->busy())
                setFirmware();
            return;
        case 4: // the user edits the image meanwhile
            if (!image_.empty())
                image_[script_.byte() % image_.size()] ^= 0x5A;
            return;
        case 5:
            stick_->setPluggedIn(false);
            return;
        case 6:
            if (!stick_->pluggedIn()) {
                stick_->setPluggedIn(true);
                wire_->programRestarted();
                startProgram();
            }
            return;
        default: // time passes: frame time-outs and the device's periodic identification
            for (int i = 0, n = 10 * (1 + script_.pick(16)); i < n; ++i)
                tick();
            return;
        }
    }

    // A write sends image bytes 0..249 (Write Memory); Write EE sends bytes 0..119 again.
    static constexpr std::size_t kWrittenBytes = 250;

    FuzzInput& script_;
    sim::VirtualClock clock_;
    std::optional<sim::StickModel> model_;
    std::optional<sim::SimTransport> stick_;
    std::optional<Wire> wire_;
    EeBlock image_ = makeDefaultImage();
    LinkEngineOptions options_;
    std::optional<LinkEngine> engine_;
    Firmware firmware_;
    std::array<Byte, kWrittenBytes> written_{};
};

} // namespace
} // namespace ormid::fuzz

// Input: the stick, device and firmware set-up (about ten bytes), then a script of
// steps: ticks with a fault for the next reply, stray reports, and user actions.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ormid::fuzz::FuzzInput script(data, size);
    ormid::fuzz::Run run(script);
    run.play();
    run.drain();
    return 0;
}
