#include "shell/bookevents.h"

namespace qv {

BookEvents* BookEvents::instance()
{
    static BookEvents events;
    return &events;
}

} // namespace qv
