#pragma once
// The head's reply block and the ping buffer that the blocks of one ping fill.

#include "head/COndrel.h"

#include <array>
#include <cstdint>
#include <span>

namespace vexar {

inline constexpr int kReplyBlockSize = 1034;
inline constexpr int kReplyPayloadOffset = 33;
inline constexpr int kReplyPayloadSize = 1000;
inline constexpr int kMaxBlocksPerPing = 128;
inline constexpr int kPingBufferSize = kMaxBlocksPerPing * kReplyPayloadSize;
inline constexpr int kReplyEchoByte = 5;
inline constexpr int kReplyModeByte = 6;
inline constexpr int kPacketBlockByte = 13;

/// One reply of the head: header at 0..31, payload at 33..1032.
using ReplyBlock = std::array<std::uint8_t, kReplyBlockSize>;
/// Payloads of one ping in block order, block k at byte k * 1000.
using PingBuffer = std::array<std::uint8_t, kPingBufferSize>;

/// Blocks per ping for a sample count: samples * 128 / 1000, kept within the ping buffer.
int BlocksPerPingFor(int samples);

/// Copies the payload of a reply into the ping buffer at its block; an index outside the
/// buffer is ignored.
void StoreBlockPayload(const ReplyBlock& reply, int blockIndex, PingBuffer& ping);

/// True when the mode byte of a reply header marks scrambled sample words.
bool IsScrambled(std::span<const std::uint8_t, kReplyHeaderSize> header);

/// Splits the ping buffer into the four heads' raw sample arrays: for sample j, head h,
/// channel c the big-endian word at ((j * 4 + h) * 16 + c) * 2. Only the first `samples`
/// columns of each channel are written (at most 1000).
void DeinterleavePing(const PingBuffer& ping, int samples, std::array<COndrel, kHeadCount>& heads);

} // namespace vexar
