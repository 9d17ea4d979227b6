// The service type line of the SDT report, called directly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "filter_state.h"
#include "psi.h"

namespace {

class ServiceType : public ::testing::Test {
  protected:
    void SetUp() override { saved_flag_ = Analyze_PSI_flag; }
    void TearDown() override { Analyze_PSI_flag = saved_flag_; }

    static std::string print(int32_t service_type) {
        testing::internal::CaptureStdout();
        print_service_type(service_type);
        return testing::internal::GetCapturedStdout();
    }

  private:
    int32_t saved_flag_ = 0;
};

struct Row {
    int32_t service_type;
    const char* line;
};

TEST_F(ServiceType, EveryNamedTypeInReportMode) {
    const Row rows[] = {
        {0x01, "   Service Type(01):      Digital television service\n"},
        {0x02, "   Service Type(02):      Digital audio service\n"},
        {0xA1, "   Service Type(A1):      Special video service\n"},
        {0xA2, "   Service Type(A2):      Special audio service\n"},
        {0xA3, "   Service Type(A3):      Special data service\n"},
        {0xA4, "   Service Type(A4):      Engineering service\n"},
        {0xA5, "   Service Type(A5):      Promotion video service\n"},
        {0xA6, "   Service Type(A6):      Promotion audio service\n"},
        {0xA7, "   Service Type(A7):      Promotion data service\n"},
        {0xA8, "   Service Type(A8):      Data service for accumulation in advance\n"},
        {0xA9, "   Service Type(A9):      Data service exclusive for accumulation\n"},
        {0xAA, "   Service Type(AA):      Book mark list service\n"},
        {0xAB, "   Service Type(AB):      Server-type simultaneous service\n"},
        {0xAC, "   Service Type(AC):      Independent file service\n"},
        {0xC0, "   Service Type(C0):      Data service\n"},
    };
    Analyze_PSI_flag = 1;
    for (const Row& row : rows) EXPECT_EQ(print(row.service_type), row.line) << row.service_type;
}

TEST_F(ServiceType, UnnamedTypesTakeTheDefaultLine) {
    const std::pair<int32_t, const char*> unnamed[] = {{0x00, "00"}, {0x03, "03"}, {0xA0, "A0"}, {0xAD, "AD"},
                                                       {0xBF, "BF"}, {0xC1, "C1"}, {0xFF, "FF"}};
    Analyze_PSI_flag = 1;
    for (const auto& [service_type, digits] : unnamed) {
        EXPECT_EQ(print(service_type), std::string("   Service Type(") + digits +
                                           "):      Not defined or Service provider defined\n")
            << service_type;
    }
}

TEST_F(ServiceType, EveryValueGivesExactlyOneLineOfItsOwnDigits) {
    Analyze_PSI_flag = 2;  // any nonzero count means report mode
    for (int32_t value = 0; value <= 0xFF; ++value) {
        const std::string line = print(value);
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", value);
        EXPECT_EQ(line.compare(0, 18, std::string("   Service Type(") + digits), 0) << line;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    }
}

TEST_F(ServiceType, NothingOutsideReportMode) {
    Analyze_PSI_flag = 0;
    for (int32_t value = 0; value <= 0xFF; ++value) EXPECT_EQ(print(value), "") << value;
}

}  // namespace
