// The closing message for each result code, read off the message dialog on the screen.
#include <core/program_objects.h>

#include "app_test_support.h"

namespace {


class ResultReportTest : public app_test::HandheldTest {
protected:
    std::string Shown(ResultCode code) {
        app_test::UiThread<int> ui([code] {
            backupApplication.ReportResult(code);
            return 0;
        });
        auto dialog = app_test::Expect(app_test::automation::WaitForTemplate(104), "the message dialog");
        std::string shown = app_test::Utf8(app_test::TextOf(dialog.window, 1010));
        app_test::Press(dialog.window, IDOK);
        ui.Result();
        return shown;
    }
};

TEST_F(ResultReportTest, SuccessShowsOperationCompleteWithoutANumber) {
    EXPECT_EQ(Shown(0), "Operation Complete");
}

TEST_F(ResultReportTest, NoDriveShowsItsMessageWithTheBlankBeforeTheLineBreak) {
    EXPECT_EQ(Shown(15), "Application Error 15 \nNo Quorva drive found");
}

TEST_F(ResultReportTest, EveryCodeGetsTheMessageOfItsRow) {
    const std::string writeFailed = "\nWrite failed. Make sure disk is inserted into drive.";
    const std::string writeProtected = "\nUnable to write.  Make sure the disk is not write protected.";
    for (ResultCode code : {2u, 3u, 21u, 29u, 161u}) {
        EXPECT_EQ(Shown(code), "Application Error " + std::to_string(code) + writeFailed);
    }
    for (ResultCode code : {5u, 19u}) {
        EXPECT_EQ(Shown(code), "Application Error " + std::to_string(code) + writeProtected);
    }
    EXPECT_EQ(Shown(112), "Application Error 112\nDestination disk full");
    for (ResultCode code : {1u, 16u, 17u, 18u, 20u, 111u, 113u, 160u, 162u}) {
        EXPECT_EQ(Shown(code), "Application Error " + std::to_string(code));
    }
}

}  // namespace
