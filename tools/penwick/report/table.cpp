#include "report/table.h"

#include "report/format.h"

std::string FormatReplayCsv(const ReplayResult& result) {
    std::string out =
        "index,flags_in,x_in,y_in,rule,error_delay,delivered,flags_out,x_out,y_out,result\n";
    int index = 0;
    for (const ReplayRecord& r : result.records) {
        out += Format("%d,0x%02X,%d,%d,%s,%d,%d,", index++, r.in.flags, r.in.x, r.in.y,
                      r.rule.c_str(), r.errorDelay, r.delivered ? 1 : 0);
        out += r.delivered ? Format("0x%02X,%d,%d,", r.flagsOut, r.xOut, r.yOut) : ",,,";
        out += Format("%d\n", r.result);
    }
    return out;
}
