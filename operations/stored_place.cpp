#include "stored_place.h"

#include "baud_rate_modes.h"

int ListIndexOfRememberedSetting(const SharedState &state)
{
    if (IsBaudRateIndex(state.ScanBaudRateNo))
        return state.ScanBaudRateNo;
    const int index = static_cast<int>(BaudRateModes().indexOf(state.ScanBaudRate));
    return index >= 0 ? index : DefaultBaudRateIndex;
}
