#include "shell/openers.h"

#include "shell/mdiform1.h"

// Each subsystem adds its entries here.
void registerAllOpeners()
{
    static bool done = false;
    if (done)
        return;
    done = true;
}
