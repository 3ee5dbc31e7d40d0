#include "proxy/sample_interception.h"

#include "filter/sample_filter.h"
#include "proxy/configuration.h"
#include "proxy/sample_capture.h"

DeliveryState g_deliveryState;

int32_t InterceptSample(uint32_t flags, int32_t x, int32_t y) {
    DeliveryState& delivery = g_deliveryState;
    if (g_capture.active) {
        CaptureRecordSample(flags, x, y);
    }

    if (!g_configuration.filteringEnabled || !(flags & TouchSampleIsCalibratedFlag)) {
        delivery.lastVerdict = InterceptPassedThrough;
        return delivery.hostCallback(flags, x, y);
    }
    if (!(flags & TouchSampleValidFlag) || (flags & TouchSampleIgnore)) {
        delivery.lastVerdict = InterceptDroppedUnusable;
        return 0;
    }

    bool down = (flags & TouchSampleDownFlag) != 0;
    bool accepted = FilterSample(x, y, down, (flags & TouchSamplePreviousDownFlag) != 0);

    InterceptVerdict verdict = InterceptDelivered;
    if (!accepted) {
        if (down) {
            flags |= TouchSampleIgnore;
            verdict = InterceptDroppedRejected;
        } else {
            x = delivery.lastX;
            y = delivery.lastY;
            verdict = InterceptMovedUp;
        }
    }
    // Only one up sample closes a stroke the host saw begin.
    if (!down && !delivery.lastDown) {
        flags |= TouchSampleIgnore;
        verdict = InterceptDroppedExtraUp;
    }
    delivery.lastVerdict = verdict;
    if (flags & TouchSampleIgnore) {
        return 0;
    }

    if (delivery.lastDown) {
        flags |= TouchSamplePreviousDownFlag;
    } else {
        flags &= ~TouchSamplePreviousDownFlag;
    }
    delivery.lastDown = down;
    delivery.lastX = x;
    delivery.lastY = y;
    return delivery.hostCallback(flags, x, y);
}

int32_t TouchPanelEnable(SampleCallback callback) {
    g_deliveryState.hostCallback = callback;
    RecordScreenSize();
    CaptureEnable();
    return g_originalDriver.TouchPanelEnable(InterceptSample);
}
