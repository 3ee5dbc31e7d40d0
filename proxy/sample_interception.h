// The interception: Penwick between the original driver's samples and the host.
//
// TouchPanelEnable is the one export that is not a plain forwarder: it hands
// the original driver InterceptSample instead of the host's callback. For
// every calibrated, valid, not-ignored sample under filtering, the
// interceptor asks the filter and then decides, from the verdict and its own
// record of the last delivered sample, whether the host sees the sample, with
// which flags and where:
//
//   - a rejected down sample is dropped;
//   - a rejected up sample is moved to the last delivered coordinates;
//   - exactly one up sample closes each stroke the host saw begin; further up
//     samples are dropped;
//   - the previous-down bit is rewritten from what the host last received.
#ifndef PENWICK_PROXY_SAMPLE_INTERCEPTION_H
#define PENWICK_PROXY_SAMPLE_INTERCEPTION_H

#include <stdint.h>

#include "proxy/original_driver.h"

const uint32_t TouchSampleValidFlag = 0x01;
const uint32_t TouchSampleDownFlag = 0x02;
const uint32_t TouchSampleIsCalibratedFlag = 0x04;
const uint32_t TouchSamplePreviousDownFlag = 0x08;
const uint32_t TouchSampleIgnore = 0x10;

// What the interceptor did with the last sample, for the replay tool.
enum InterceptVerdict {
    InterceptNone = 0,          // no sample since this was set
    InterceptPassedThrough,     // filtering off or uncalibrated: to the host as received
    InterceptDroppedUnusable,   // calibrated but invalid or marked ignore: not judged
    InterceptDroppedRejected,   // a down sample the filter rejected
    InterceptDroppedExtraUp,    // an up sample with no stroke left to close
    InterceptMovedUp,           // a rejected up sample, delivered at the last delivered place
    InterceptDelivered,         // accepted and delivered
};

struct DeliveryState {
    SampleCallback hostCallback;  // null until the host enables us
    int32_t lastX;                // last sample delivered under filtering
    int32_t lastY;
    bool lastDown;
    InterceptVerdict lastVerdict;
};

extern DeliveryState g_deliveryState;

// The interceptor the original driver calls once per sample. Returns the
// host's result when the sample is delivered and 0 when it is not.
int32_t InterceptSample(uint32_t flags, int32_t x, int32_t y);

extern "C" {
// Exported: stores the host's callback, records the screen size and enables
// the original driver with the interceptor in its place.
int32_t TouchPanelEnable(SampleCallback callback);
}

#endif
