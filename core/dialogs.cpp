#include "dialogs.h"

#include <stdexcept>

namespace {
Dialogs *g_dialogs = nullptr;
}

Dialogs &Dialogs::current()
{
    if (!g_dialogs)
        throw std::logic_error("no dialogs service installed");
    return *g_dialogs;
}

void Dialogs::install(Dialogs *dialogs)
{
    g_dialogs = dialogs;
}
