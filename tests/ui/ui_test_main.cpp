// The dialog tests run with wxWidgets initialised once, on a real X server.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        std::fputs("The dialog tests need an X server: run them under xvfb-run -a -s -noreset.\n",
                   stderr);
        return 1;
    }
    wxTheApp->SetAppName("segweld");
    // A failed wxWidgets assertion fails the test that caused it.
    wxSetAssertHandler([](const wxString& file, int line, const wxString& function,
                          const wxString& cond, const wxString& message) {
        ADD_FAILURE_AT(file.utf8_str(), line)
            << "wxWidgets assertion " << cond << " in " << function << ": " << message;
    });
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
