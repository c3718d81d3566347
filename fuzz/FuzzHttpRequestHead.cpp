// Request heads of any bytes, as a browser or anything else may send them to the observers'
// server: the check never reads past what arrived, a complete head never claims more bytes than
// there are, and its pieces come from the text.

#include "output/HttpRequestHead.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vexar::HttpHeadLimits limits;
    limits.maxHeadBytes = 2048;
    limits.maxHeaderLines = 16;
    vexar::HttpRequestHead head;
    const vexar::HttpHeadStatus status = vexar::ReadRequestHead(bytes, limits, head);
    if (status == vexar::HttpHeadStatus::Complete) {
        if (head.length > size || head.length > limits.maxHeadBytes ||
            head.fields.size() > limits.maxHeaderLines || text.find(head.path) == std::string_view::npos) {
            std::abort();
        }
        (void)vexar::QueryValue(head.query, "token");
        (void)vexar::OriginAuthority(head.Field("origin"));
        (void)vexar::HostAuthority(head.Field("host"));
        (void)vexar::IsLoopbackHost(head.Field("host"));
        (void)head.FieldHasToken("connection", "upgrade");
    } else if (status == vexar::HttpHeadStatus::TooLarge && size < limits.maxHeadBytes) {
        std::abort();
    }
    return 0;
}
