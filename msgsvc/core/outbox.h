// outbox.h - the bytes queued for one connection until its socket takes them, so that no write ever waits.
#ifndef TOLVIK_MSGSVC_OUTBOX_H
#define TOLVIK_MSGSVC_OUTBOX_H

#include "msgsvc/core/bytes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace msgsvc {

// More unwritten bytes than this and the peer is not reading: the connection is closed.
constexpr std::size_t kOutboxLimit = 65536;

struct Outbox {
    std::vector<uint8_t> bytes;
    std::size_t written = 0;  // bytes[0, written) have gone out
};

// Queues data behind what is pending; false (nothing queued) when more than limit bytes would then be pending.
bool outbox_add(Outbox &o, ByteView data, std::size_t limit = kOutboxLimit);

// The bytes still to write.
ByteView outbox_pending(const Outbox &o);

// Marks n of the pending bytes as written; the buffer is emptied once none are left.
void outbox_written(Outbox &o, std::size_t n);

// Whether to read more from the connection: only while nothing waits to be written to it, so that a peer that
// sends requests without reading the replies is held back by its own window instead of filling memory.
bool outbox_wants_input(const Outbox &o);

} // namespace msgsvc

#endif
