#include "openfailure.h"

#include "texts.h"
#include "widetext.h"

#include <string>

// The system keeps a port for one opener and does not say who holds it.
std::string DescribeOpenFailure(const OpenFailure &failure, const HostView &)
{
    if (failure.stillClosing)
        return Strings::OPEN_FAILURE_STILL_CLOSING;
    switch (failure.error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return Strings::OPEN_FAILURE_BUSY;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return Strings::OPEN_FAILURE_NOT_PRESENT;
    default:
        return FillIn(Strings::OPEN_FAILURE_SYSTEM_ERROR,
                      {SystemMessage(static_cast<DWORD>(failure.error))});
    }
}
