// A small scripted packet device on top of ScriptedDrive: it takes PACKET commands, answers
// each with the next scripted Reply for its opcode (default: success without data), runs
// data phases in bursts and answers REQUEST SENSE from a queue that failing replies feed.
// Just enough protocol to put the driver's procedures through their paths; the emulated
// drive of the simulator is the faithful one.
#pragma once

#include <algorithm>
#include <map>
#include <utility>

#include "scripted_drive.h"

namespace atapi_test {

struct Reply {
    std::vector<uint8_t> data;     // data-in phase
    uint32_t takes = 0;            // data-out phase: bytes the device takes
    std::vector<uint32_t> bursts;  // announced burst sizes; default: up to the limit
    uint8_t senseKey = 0;          // with asc or abort: the command fails with ERR
    uint8_t asc = 0;
    bool abort = false;            // error register ABRT instead of the sense key
    uint8_t completion = 0x50;     // status when the command ends
    int busyPolls = 0;             // status reads showing BSY before the device answers
};

inline Reply Fails(uint8_t key, uint8_t asc) {
    Reply reply;
    reply.senseKey = key;
    reply.asc = asc;
    return reply;
}

inline Reply Returns(std::vector<uint8_t> data) {
    Reply reply;
    reply.data = std::move(data);
    return reply;
}

inline Reply Takes(uint32_t bytes) {
    Reply reply;
    reply.takes = bytes;
    return reply;
}

class PacketScript {
public:
    std::map<uint8_t, std::deque<Reply>> packetReplies;   // by packet opcode
    std::map<uint8_t, std::deque<Reply>> commandReplies;  // by ATA command (0xA1, 0xEC, 0xDA)
    std::deque<std::pair<uint8_t, uint8_t>> sense;        // (key, asc) for REQUEST SENSE
    std::vector<std::vector<uint8_t>> packets;            // every packet received, in order
    std::vector<std::vector<uint8_t>> written;            // data-out of each command
    int resets = 0;
    bool resetSignature = true;
    bool resetQueuesUnitAttention = true;

    explicit PacketScript(ScriptedDrive& drive) : drive_(drive) {
        drive_.onCommand = [this](uint8_t command) { Command(command); };
        drive_.onDataWritten = [this] { DataWritten(); };
        drive_.onDataRead = [this] { DataRead(); };
    }

    void Queue(uint8_t opcode, Reply reply) { packetReplies[opcode].push_back(std::move(reply)); }
    void QueueCommand(uint8_t command, Reply reply) {
        commandReplies[command].push_back(std::move(reply));
    }
    std::vector<uint8_t> Opcodes() const {
        std::vector<uint8_t> opcodes;
        for (const auto& packet : packets) opcodes.push_back(packet[0]);
        return opcodes;
    }

private:
    enum class Phase { Idle, Packet, DataIn, DataOut };

    void Command(uint8_t command) {
        if (command == 0xA0) {
            phase_ = Phase::Packet;
            drive_.dataOut.clear();
            drive_.registers[2] = 0x01;
            Show(0x48, 0);
        } else if (command == 0x08) {
            Reset();
        } else {
            auto& queue = commandReplies[command];
            Reply reply;
            reply.abort = true;  // unknown commands are aborted
            if (!queue.empty()) {
                reply = queue.front();
                queue.pop_front();
            }
            Execute(reply);
        }
    }

    void Reset() {
        ++resets;
        phase_ = Phase::Idle;
        drive_.dataIn.clear();
        if (resetSignature) {
            drive_.registers[4] = 0x14;
            drive_.registers[5] = 0xEB;
        }
        if (resetQueuesUnitAttention) sense.emplace_front(0x06, 0x29);
        Show(0x00, 0);
    }

    void DataWritten() {
        if (phase_ == Phase::Packet && drive_.dataOut.size() >= 12) {
            std::vector<uint8_t> packet(drive_.dataOut.begin(), drive_.dataOut.begin() + 12);
            drive_.dataOut.clear();
            packets.push_back(packet);
            Execute(ReplyFor(packet));
        } else if (phase_ == Phase::DataOut && drive_.dataOut.size() >= burstEnd_) {
            if (drive_.dataOut.size() >= reply_.takes) {
                written.push_back(drive_.dataOut);
                Complete();
            } else {
                NextBurst(reply_.takes - static_cast<uint32_t>(drive_.dataOut.size()));
            }
        }
    }

    void DataRead() {
        if (phase_ != Phase::DataIn || burstLeft_ == 0 || --burstLeft_ != 0) return;
        if (drive_.dataIn.empty()) {
            Complete();
        } else {
            NextBurst(static_cast<uint32_t>(drive_.dataIn.size()));
        }
    }

    Reply ReplyFor(const std::vector<uint8_t>& packet) {
        auto& queue = packetReplies[packet[0]];
        if (!queue.empty()) {
            Reply reply = queue.front();
            queue.pop_front();
            return reply;
        }
        if (packet[0] == 0x03) return SenseReply();
        return Reply{};
    }

    Reply SenseReply() {
        std::vector<uint8_t> bytes(26, 0);
        bytes[0] = 0x70;
        bytes[7] = 18;
        if (!sense.empty()) {
            bytes[2] = sense.front().first;
            bytes[12] = sense.front().second;
            sense.pop_front();
        }
        return Returns(bytes);
    }

    void Execute(const Reply& reply) {
        reply_ = reply;
        busyPolls_ = reply.busyPolls;
        if (reply.senseKey != 0 || reply.asc != 0 || reply.abort) {
            phase_ = Phase::Idle;
            drive_.registers[1] = reply.abort ? 0x04 : static_cast<uint8_t>(reply.senseKey << 4);
            if (!reply.abort) sense.emplace_back(reply.senseKey, reply.asc);
            Show(0x41, 3);
        } else if (!reply.data.empty()) {
            phase_ = Phase::DataIn;
            drive_.Data(reply.data);
            NextBurst(static_cast<uint32_t>(reply.data.size()));
        } else if (reply.takes != 0) {
            phase_ = Phase::DataOut;
            drive_.dataOut.clear();
            NextBurst(reply.takes);
        } else {
            Complete();
        }
    }

    void NextBurst(uint32_t remaining) {
        uint32_t burst = remaining;
        if (!reply_.bursts.empty()) {
            burst = reply_.bursts.front();
            reply_.bursts.erase(reply_.bursts.begin());
        } else {
            const uint32_t limit = (drive_.registers[4] | (drive_.registers[5] << 8)) & ~1u;
            if (limit != 0) burst = std::min(remaining, limit);
        }
        burstLeft_ = burst;
        burstEnd_ = static_cast<uint32_t>(drive_.dataOut.size()) + burst;
        drive_.ByteCount(burst);
        Show(0x48, phase_ == Phase::DataIn ? 2 : 0);
    }

    void Complete() {
        phase_ = Phase::Idle;
        Show(reply_.completion, 3);
    }

    // The device's next status, after the scripted busy polls.
    void Show(uint8_t status, uint8_t reason) {
        drive_.ownsTaskFile = phase_ != Phase::Idle;
        drive_.registers[2] = reason;
        drive_.status.clear();
        for (int i = 0; i < busyPolls_; ++i) drive_.status.push_back(0x80);
        busyPolls_ = 0;
        drive_.status.push_back(status);
    }

    ScriptedDrive& drive_;
    Phase phase_ = Phase::Idle;
    Reply reply_;
    int busyPolls_ = 0;
    uint32_t burstLeft_ = 0;
    uint32_t burstEnd_ = 0;
};

}  // namespace atapi_test
