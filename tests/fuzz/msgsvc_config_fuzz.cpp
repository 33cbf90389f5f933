// Fuzz target: arbitrary msgsvc.ini text. Every value taken is within its key's range, every name is a valid
// one, every name server has a port, and every error names a line of the text.
#include "msgsvc/core/config.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace msgsvc;

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

bool in(unsigned v, unsigned low, unsigned high) { return v >= low && v <= high; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size > kMaxConfigText + 16)
        return 0;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    ServiceConfig c;
    c.dir = "C:\\t\\";
    const std::vector<std::string> errors = parse_config(text, c);

    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const std::string &e : errors) {
        if (size > kMaxConfigText) {
            require(e.rfind("longer than", 0) == 0);
            continue;
        }
        require(e.rfind("line ", 0) == 0);
        const unsigned long n = std::strtoul(e.c_str() + 5, nullptr, 10);
        require(n >= 1 && n <= lines);
    }
    require(c.port >= 1 && c.name_port >= 1);
    require(in(c.rate, 0, 100000) && in(c.connections, 1, 200) && in(c.per_source, 1, 200));
    require(in(c.idle_ms, 1000, 3600000) && in(c.session_ms, 1000, 3600000) && in(c.popups, 1, 1000));
    require(in(c.log_kb, 16, 1048576) && in(c.timeout_ms, 50, 30000));
    for (const std::string &n : c.names())
        require(valid_message_name(n) && n.size() <= kNameBytes);
    for (const Endpoint &e : c.name_servers)
        require(e.port != 0);
    return 0;
}
