#include "widgets/status.h"

namespace qv::Status {

namespace {
Sink& sinkRef()
{
    static Sink s;
    return s;
}
} // namespace

Sink setSink(Sink sink)
{
    Sink old = std::move(sinkRef());
    sinkRef() = std::move(sink);
    return old;
}

void say(const QString& text)
{
    if (sinkRef())
        sinkRef()(text);
}

} // namespace qv::Status
