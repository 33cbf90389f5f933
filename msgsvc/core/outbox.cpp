// outbox.cpp - per-connection output queue of the message service.
#include "msgsvc/core/outbox.h"

namespace msgsvc {

bool outbox_add(Outbox &o, ByteView data, std::size_t limit)
{
    if (data.size > limit || o.bytes.size() - o.written > limit - data.size)
        return false;
    put_bytes(o.bytes, data);
    return true;
}

ByteView outbox_pending(const Outbox &o) { return ByteView(o.bytes).sub(o.written); }

void outbox_written(Outbox &o, std::size_t n)
{
    o.written += n < o.bytes.size() - o.written ? n : o.bytes.size() - o.written;
    if (o.written == o.bytes.size()) {
        o.bytes.clear();
        o.written = 0;
    }
}

bool outbox_wants_input(const Outbox &o) { return o.written == o.bytes.size(); }

} // namespace msgsvc
