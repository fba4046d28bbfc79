#include "platform/ProgramEnd.h"

#include "platform/Services.h"

void EndProgram()
{
    Services::InUse().EndProgram();
}
