// Every record of the driver's state, listed once. These module records are
// all the library holds between calls, and each is all zero when the library
// is loaded. PENWICK_DRIVER_RECORDS(RECORD) calls RECORD(type, record) for
// each, so that whatever goes through all of them (the reset to load time,
// the replay's copy of each driver it runs side by side) names every one
// and cannot forget a record added later.
#ifndef PENWICK_PROXY_DRIVER_STATE_H
#define PENWICK_PROXY_DRIVER_STATE_H

#include "filter/sample_filter.h"
#include "proxy/configuration.h"
#include "proxy/original_driver.h"
#include "proxy/sample_capture.h"
#include "proxy/sample_interception.h"

#define PENWICK_DRIVER_RECORDS(RECORD)      \
    RECORD(Configuration, g_configuration)  \
    RECORD(FilterSettings, g_filterSettings) \
    RECORD(FilterState, g_filterState)      \
    RECORD(DeliveryState, g_deliveryState)  \
    RECORD(OriginalDriver, g_originalDriver) \
    RECORD(CaptureState, g_capture)

#endif
