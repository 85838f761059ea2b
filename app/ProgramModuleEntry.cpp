// The one function the program module exports (see ProgramModule.h).
#include "app/ProgramParts.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT fd::ProgramModule* fleetdesk_program_module()
{
    static fd::ProgramParts parts;
    return &parts;
}
