// The sample filter. FilterSample runs these steps in order:
//
//   1 rescale      coordinates to the screen size recorded at enable time
//   2 stroke start down without previous-down hides the previous sample
//   3 no previous  remember the sample, count the delay down, reject
//   4 step         dx, dy and the squared length d2
//   5 direction    only for steps longer than MinDirSpeed
//   6 verdict      the first matching rule a..h decides
//   7 remember     this sample and step, whatever the verdict
//   8 error delay  an accept is withheld while the delay runs; an error adds
//
// Integer arithmetic wraps at 32 bits as it does on the device; it is done in
// unsigned arithmetic so that the wrap is defined. Floating-point steps are
// single precision where the device uses single precision.
#include "filter/sample_filter.h"

#include <cmath>

#include "platform/system_services.h"

FilterSettings g_filterSettings;
FilterState g_filterState;

namespace {

int32_t WrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

int32_t WrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t WrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Maps a coordinate measured on a screen of `current` pixels to one of
// `recorded` pixels. A screen size of 0 or less cannot be divided by and
// leaves the coordinate as it is.
int32_t Rescale(int32_t value, int32_t recorded, int32_t current) {
    if (current == recorded || current <= 0) {
        return value;
    }
    return WrapMul(recorded, value) / current;
}

// |sqrt(previous) - sqrt(current)| in single precision, truncated. A squared
// length that wrapped negative has no root; such a change counts as the
// largest there is.
int32_t SpeedChange(int32_t previousSquaredStep, int32_t squaredStep) {
    float previous = std::sqrt(static_cast<float>(previousSquaredStep));
    float current = std::sqrt(static_cast<float>(squaredStep));
    float change = previous - current;
    if (std::isnan(change)) {
        return INT32_MAX;
    }
    // Both roots are below 46341, so the difference fits.
    int32_t truncated = static_cast<int32_t>(change);
    return truncated < 0 ? -truncated : truncated;
}

float Direction(int32_t dx, int32_t dy) {
    double along = static_cast<float>(dx);
    double across = static_cast<float>(dy);
    float radians = static_cast<float>(std::atan2(along, across));
    return radians * kFilterDegreesPerRadian;
}

float DirectionChange(float previous, float current) {
    float change = std::fabs(previous - current);
    if (change > 180.0f) {
        change = 360.0f - change;
    }
    return change;
}

bool IsAccepting(FilterRule rule) {
    return rule == FilterRuleA || rule == FilterRuleC || rule == FilterRuleG;
}

bool IsError(FilterRule rule) {
    return rule == FilterRuleD || rule == FilterRuleE || rule == FilterRuleH;
}

}  // namespace

void RecordScreenSize(void) {
    g_filterState.enableWidth = SystemScreenWidth();
    g_filterState.enableHeight = SystemScreenHeight();
}

bool FilterSample(int32_t x, int32_t y, bool down, bool previousDown) {
    const FilterSettings& settings = g_filterSettings;
    FilterState& state = g_filterState;
    state.lastWithheldByDelay = false;

    int32_t width = SystemScreenWidth();
    int32_t height = SystemScreenHeight();
    x = Rescale(x, state.enableWidth, width);
    y = Rescale(y, state.enableHeight, height);

    bool startsStroke = down && !previousDown;
    bool hasPreviousSample = !startsStroke && state.hasPreviousSample;
    bool hasPreviousStep = !startsStroke && state.hasPreviousStep;

    if (!hasPreviousSample) {
        state.hasPreviousSample = true;
        state.hasPreviousStep = false;
        state.previousX = x;
        state.previousY = y;
        if (state.errorDelay > 0) {
            state.errorDelay--;
        }
        state.lastRule = FilterRuleStrokeStart;
        return false;
    }

    int32_t dx = WrapSub(x, state.previousX);
    int32_t dy = WrapSub(y, state.previousY);
    int32_t d2 = WrapAdd(WrapMul(dx, dx), WrapMul(dy, dy));

    bool hasDirection = d2 > WrapMul(settings.MinDirSpeed, settings.MinDirSpeed);
    float direction = hasDirection ? Direction(dx, dy) : 0.0f;

    FilterRule rule;
    if (d2 < WrapMul(settings.LowSpeed, settings.LowSpeed)) {
        rule = FilterRuleA;
    } else if (!hasPreviousStep) {
        rule = FilterRuleB;
    } else {
        int32_t speedChange = SpeedChange(state.previousSquaredStep, d2);
        state.lastSpeedChange = speedChange;
        if (d2 < WrapMul(settings.HighSpeed, settings.HighSpeed) &&
            speedChange < settings.MaxSpeedDiff) {
            rule = FilterRuleC;
        } else if (speedChange >= settings.MaxSpeedDiff2) {
            rule = FilterRuleD;
        } else if (!hasDirection) {
            rule = FilterRuleE;
        } else if (!state.hasPreviousDirection) {
            rule = FilterRuleF;
        } else {
            float directionChange = DirectionChange(state.previousDirection, direction);
            state.lastDirectionChange = directionChange;
            rule = directionChange < static_cast<float>(settings.MaxDirDiff) ? FilterRuleG
                                                                              : FilterRuleH;
        }
    }

    state.hasPreviousDirection = hasDirection;
    if (hasDirection) {
        state.previousDirection = direction;
    }
    state.hasPreviousSample = true;
    state.hasPreviousStep = true;
    state.previousX = x;
    state.previousY = y;
    state.previousSquaredStep = d2;
    state.lastRule = rule;

    if (IsAccepting(rule)) {
        if (state.errorDelay > 0) {
            state.errorDelay--;
            state.lastWithheldByDelay = true;
            return false;
        }
        return true;
    }
    if (IsError(rule)) {
        int32_t delay = WrapAdd(state.errorDelay, settings.ErrorDelay);
        state.errorDelay = delay > settings.MaxErrorDelay ? settings.MaxErrorDelay : delay;
    }
    return false;
}
