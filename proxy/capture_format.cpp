#include "proxy/capture_format.h"

#include "filter/sample_filter.h"
#include "penwick_version.h"
#include "platform/decimal_digits.h"
#include "platform/device_identity.h"
#include "platform/system_services.h"
#include "proxy/capture_lines.h"
#include "proxy/configuration.h"

namespace {

void AppendText(CaptureBlock* block, const char* text) {
    while (*text != 0 && block->length < kCaptureBlockBytes) {
        block->bytes[block->length++] = *text++;
    }
}

void AppendUnsigned(CaptureBlock* block, uint32_t value, int minimumDigits) {
    char text[11];
    DecimalDigits(value, minimumDigits, text);
    AppendText(block, text);
}

void AppendSigned(CaptureBlock* block, int32_t value) {
    if (value < 0) {
        AppendText(block, "-");
        AppendUnsigned(block, 0u - static_cast<uint32_t>(value), 1);
    } else {
        AppendUnsigned(block, static_cast<uint32_t>(value), 1);
    }
}

void AppendFlags(CaptureBlock* block, uint32_t flags) {
    char text[11];
    FlagsHexDigits(flags, text);
    AppendText(block, text);
}

// "# penwick WORD", and the space before the argument when there is one.
void AppendLineStart(CaptureBlock* block, const char* word, const char* after) {
    AppendText(block, "# ");
    AppendText(block, kCaptureLineMark);
    AppendText(block, word);
    AppendText(block, after);
}

void AppendSizeLine(CaptureBlock* block, const char* word, int32_t width, int32_t height) {
    AppendLineStart(block, word, " ");
    AppendSigned(block, width);
    AppendText(block, "x");
    AppendSigned(block, height);
    AppendText(block, "\n");
}

// The boot: when it was, if the device's clock knows, which Penwick on
// which device, and the settings as the configuration read them.
void AppendBoot(CaptureBlock* block) {
    SystemDateTime boot;
    AppendLineStart(block, kCaptureLineBoot, " ");
    if (SystemBootTime(&boot)) {
        // 2026-12-08 09:30:05
        const struct {
            uint16_t value;
            int digits;
            const char* after;
        } fields[] = {{boot.year, 4, "-"}, {boot.month, 2, "-"},  {boot.day, 2, " "},
                      {boot.hour, 2, ":"}, {boot.minute, 2, ":"}, {boot.second, 2, "\n"}};
        for (const auto& field : fields) {
            AppendUnsigned(block, field.value, field.digits);
            AppendText(block, field.after);
        }
    } else {
        AppendText(block, "(time unknown)\n");
    }
    AppendLineStart(block, kCaptureLineVersion, " ");
    AppendText(block, kPenwickVersion);
    AppendText(block, "\n");
    DeviceIdentity identity;
    DeviceIdentityRead(&identity);
    char device[kDeviceIdentityTextBytes];
    DeviceIdentityFormat(identity, device);
    AppendLineStart(block, device, "\n");
    AppendLineStart(block, kCaptureLineSettings, " ");
    for (int i = 0; i < kConfigurationSettingCount; i++) {
        const ConfigurationSetting& setting = kConfigurationSettings[i];
        char name[24];
        int length = 0;
        for (; setting.name[length] != 0 && length < 23; length++) {
            name[length] = static_cast<char>(setting.name[length]);
        }
        name[length] = 0;
        AppendText(block, i == 0 ? "" : ", ");
        AppendText(block, name);
        AppendText(block, " ");
        AppendSigned(block, g_filterSettings.*setting.field);
    }
    AppendText(block, g_configuration.filteringEnabled ? "; filtering on\n" : "; filtering off\n");
}

}  // namespace

void CaptureFormatEntry(CaptureBlock* block, const CaptureEntry& entry) {
    switch (entry.kind) {
    case CaptureEntrySample:
        AppendFlags(block, entry.flags);
        AppendText(block, ",");
        AppendSigned(block, entry.x);
        AppendText(block, ",");
        AppendSigned(block, entry.y);
        AppendText(block, ",");
        AppendUnsigned(block, entry.tick, 1);
        AppendText(block, "\n");
        break;
    case CaptureEntryBoot: AppendBoot(block); break;
    case CaptureEntryEnable:
        AppendSizeLine(block, kCaptureLineEnableScreen, entry.x, entry.y);
        break;
    case CaptureEntryScreen: AppendSizeLine(block, kCaptureLineScreen, entry.x, entry.y); break;
    case CaptureEntryDropped:
        AppendLineStart(block, kCaptureLineDropped, " ");
        AppendUnsigned(block, entry.flags, 1);
        AppendText(block, "\n");
        break;
    }
}

void CaptureFormatHeader(CaptureBlock* block) {
    AppendText(block, kCaptureHeader);
    AppendText(block, "\n");
}

void CaptureFormatLimitReached(CaptureBlock* block, uint32_t limit) {
    AppendLineStart(block, kCaptureLineStopped, ": the file reached its limit of ");
    AppendUnsigned(block, limit, 1);
    AppendText(block, " bytes\n");
}
