// Service types of the ARIB profile, for the SDT report.
#include <cstdio>

#include "psi.h"

namespace {
struct SERVICE_TYPE_NAME {
    int32_t service_type;
    const char* format;
};

const SERVICE_TYPE_NAME SERVICE_TYPES[] = {
    {0x01, "   Service Type(%02X):      Digital television service\n"},
    {0x02, "   Service Type(%02X):      Digital audio service\n"},
    {0xA1, "   Service Type(%02X):      Special video service\n"},
    {0xA2, "   Service Type(%02X):      Special audio service\n"},
    {0xA3, "   Service Type(%02X):      Special data service\n"},
    {0xA4, "   Service Type(%02X):      Engineering service\n"},
    {0xA5, "   Service Type(%02X):      Promotion video service\n"},
    {0xA6, "   Service Type(%02X):      Promotion audio service\n"},
    {0xA7, "   Service Type(%02X):      Promotion data service\n"},
    {0xA8, "   Service Type(%02X):      Data service for accumulation in advance\n"},
    {0xA9, "   Service Type(%02X):      Data service exclusive for accumulation\n"},
    {0xAA, "   Service Type(%02X):      Book mark list service\n"},
    {0xAB, "   Service Type(%02X):      Server-type simultaneous service\n"},
    {0xAC, "   Service Type(%02X):      Independent file service\n"},
    {0xC0, "   Service Type(%02X):      Data service\n"},
};
const char* const OTHER_SERVICE_TYPE =
    "   Service Type(%02X):      Not defined or Service provider defined\n";
}  // namespace

void print_service_type(int32_t service_type) {
    if (!Analyze_PSI_flag) return;
    const char* format = OTHER_SERVICE_TYPE;
    for (const SERVICE_TYPE_NAME& row : SERVICE_TYPES) {
        if (row.service_type == service_type) format = row.format;
    }
    std::printf(format, service_type);
}
