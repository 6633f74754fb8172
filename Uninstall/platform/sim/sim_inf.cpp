// The simulated SetupAPI INF services.
#include "sim_internal.h"

namespace sim {

void ResetInf()
{
}

std::string InfHandlesText()
{
    return "";
}

} // namespace sim

HINF WINAPI SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle, UINT *ErrorLine)
{
    (void)InfClass;
    (void)ErrorLine;
    sim::Enter("SetupOpenInfFileA");
    sim::RecordUnexpected("SetupOpenInfFileA", sim::Quote(FileName) + ", " + sim::Hex(InfStyle), "not modelled yet");
    return INVALID_HANDLE_VALUE;
}

BOOL WINAPI SetupFindFirstLineA(HINF InfHandle, PCSTR Section, PCSTR Key, PINFCONTEXT Context)
{
    (void)InfHandle;
    (void)Key;
    (void)Context;
    sim::Enter("SetupFindFirstLineA");
    sim::RecordUnexpected("SetupFindFirstLineA", sim::Quote(Section), "not modelled yet");
    return FALSE;
}

BOOL WINAPI SetupFindNextLine(PINFCONTEXT ContextIn, PINFCONTEXT ContextOut)
{
    (void)ContextIn;
    (void)ContextOut;
    sim::Enter("SetupFindNextLine");
    sim::RecordUnexpected("SetupFindNextLine", "", "not modelled yet");
    return FALSE;
}

BOOL WINAPI SetupGetStringFieldA(PINFCONTEXT Context, DWORD FieldIndex, PSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 PDWORD RequiredSize)
{
    (void)Context;
    (void)ReturnBuffer;
    (void)RequiredSize;
    sim::Enter("SetupGetStringFieldA");
    sim::RecordUnexpected("SetupGetStringFieldA", sim::Dec(FieldIndex) + ", " + sim::Dec(ReturnBufferSize),
                          "not modelled yet");
    return FALSE;
}

void WINAPI SetupCloseInfFile(HINF InfHandle)
{
    sim::Enter("SetupCloseInfFile", false);
    sim::RecordUnexpected("SetupCloseInfFile", sim::Ptr(InfHandle), "not modelled yet");
}
